// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QDBusConnection>
#include <QObject>

namespace Starvane {

/// One portal request: catches the Response signal sent on its own object path.
class PortalRequest : public QObject
{
    Q_OBJECT
public:
    PortalRequest(QDBusConnection bus, QString handle);
    ~PortalRequest() override;
    std::optional<uint> response() const { return m_response; }

Q_SIGNALS:
    void answered();

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    QDBusConnection m_bus;
    QString m_handle;
    std::optional<uint> m_response;
};

/// The desktop portal's Wallpaper interface: one picture for every display, no way to read it back
/// (we remember what we set). Used on Wayland when nothing better is known.
class PortalBackend : public DesktopBackend
{
public:
    explicit PortalBackend(QString desktopName, QDBusConnection bus = QDBusConnection::sessionBus());

    QString desktopName() const override { return m_desktopName; }
    bool perDisplay() const override { return false; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;
    bool lockScreen() const override { return true; }
    QCoro::Task<> showLockScreenPicture(QString path) override;

private:
    QString m_desktopName;
    QDBusConnection m_bus;
    QCoro::Task<> setWallpaper(QString path, QString setOn);

    std::optional<QString> m_shown;
};

/// A desktop we cannot drive: every attempt fails with a sentence naming it.
class UnsupportedBackend : public DesktopBackend
{
public:
    explicit UnsupportedBackend(QString desktopName) : m_desktopName(std::move(desktopName)) {}

    QString desktopName() const override { return m_desktopName; }
    bool perDisplay() const override { return false; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget) override { co_return std::nullopt; }
    QCoro::Task<> showPicture(DisplayTarget, DesktopPicture, QList<DisplayTarget>) override
    {
        throw DesktopBackendError(
            QStringLiteral("this desktop is not supported: Starvane does not know how to set the desktop picture on %1")
                .arg(m_desktopName));
        co_return;
    }

private:
    QString m_desktopName;
};

} // namespace Starvane
