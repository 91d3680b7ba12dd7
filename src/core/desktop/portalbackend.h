// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QDBusConnection>
#include <QObject>

namespace Starvane {

/// The desktop portal's Wallpaper interface: one picture for every display, no way to read it back
/// (we remember what we set). Used on Wayland when nothing better is known.
class PortalBackend : public QObject, public DesktopBackend
{
    Q_OBJECT
public:
    explicit PortalBackend(QString desktopName, QDBusConnection bus = QDBusConnection::sessionBus());

    QString desktopName() const override { return m_desktopName; }
    bool perDisplay() const override { return false; }
    bool readsBackFromDesktop() const override { return false; }
    std::optional<DesktopPicture> shownPicture(const DisplayTarget &display) override;
    void showPicture(const DisplayTarget &display, const DesktopPicture &picture,
                     const QList<DisplayTarget> &allDisplays) override;

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    QString m_desktopName;
    QDBusConnection m_bus;
    std::optional<QString> m_shown;
    std::optional<uint> m_response;
};

/// A desktop we cannot drive: every attempt fails with a sentence naming it.
class UnsupportedBackend : public DesktopBackend
{
public:
    explicit UnsupportedBackend(QString desktopName) : m_desktopName(std::move(desktopName)) {}

    QString desktopName() const override { return m_desktopName; }
    bool perDisplay() const override { return false; }
    bool readsBackFromDesktop() const override { return false; }
    std::optional<DesktopPicture> shownPicture(const DisplayTarget &) override { return std::nullopt; }
    void showPicture(const DisplayTarget &, const DesktopPicture &, const QList<DisplayTarget> &) override
    {
        throw DesktopBackendError(
            QStringLiteral("Starvane does not know how to set the desktop picture on %1").arg(m_desktopName));
    }

private:
    QString m_desktopName;
};

} // namespace Starvane
