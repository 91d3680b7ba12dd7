// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

namespace Starvane {

/// One portal request: catches the Response signal sent on its own object path, or the portal leaving
/// the bus before it answered.
class PortalRequest : public QObject
{
    Q_OBJECT
public:
    PortalRequest(QDBusConnection bus, QString handle);
    ~PortalRequest() override;
    std::optional<uint> response() const { return m_response; }
    bool portalGone() const { return m_gone; }
    bool ended() const { return m_response || m_gone; }

Q_SIGNALS:
    void answered();

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    QDBusConnection m_bus;
    QString m_handle;
    QDBusServiceWatcher m_watcher;
    std::optional<uint> m_response;
    bool m_gone = false;
};

/// The desktop portal's Wallpaper interface: one picture for every display, no way to read it back
/// (we remember what we set). Used on Wayland when nothing better is known.
class PortalBackend : public DesktopBackend
{
public:
    /// `lockScreen`: the portal's backend honours "set-on" for the lock screen. GNOME's does not (it
    /// changes the desktop instead), so it is off unless the desktop is known to.
    explicit PortalBackend(QString desktopName, QDBusConnection bus = QDBusConnection::sessionBus(),
                           bool lockScreen = false);

    QString desktopName() const override { return m_desktopName; }
    bool perDisplay() const override { return false; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;
    bool lockScreen() const override { return m_lockScreen; }
    QCoro::Task<> showLockScreenPicture(QString path) override;
    bool askingForPermission() const override { return m_asking; }

    /// How long an answer may take before we count the request as a question to the person.
    static constexpr std::chrono::milliseconds questionAfter{1500};

private:
    QCoro::Task<> setWallpaper(QString path, QString setOn);
    QCoro::Task<bool> refusedForGood();

    QString m_desktopName;
    QDBusConnection m_bus;
    bool m_lockScreen;
    bool m_asking = false;
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
