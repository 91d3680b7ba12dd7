// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QDBusConnection>
#include <functional>

namespace Starvane {

/// XFCE: xfdesktop reads its pictures from xfconf, per monitor and per workspace. We write every
/// workspace of the target monitor so that switching workspaces never brings back an old picture.
class XfconfBackend : public DesktopBackend
{
public:
    struct Workspaces
    {
        std::function<std::optional<int>()> count;
        std::function<std::optional<int>()> current;
    };
    /// The window manager's numbers from EWMH.
    static Workspaces ewmhWorkspaces();

    explicit XfconfBackend(QDBusConnection bus = QDBusConnection::sessionBus(),
                           Workspaces workspaces = ewmhWorkspaces());

    QString desktopName() const override { return QStringLiteral("XFCE"); }
    bool perDisplay() const override { return true; }
    bool readsBackFromDesktop() const override { return true; }
    std::optional<DesktopPicture> shownPicture(const DisplayTarget &display) override;
    void showPicture(const DisplayTarget &display, const DesktopPicture &picture,
                     const QList<DisplayTarget> &allDisplays) override;

    static constexpr int zoomedImageStyle = 5;

private:
    std::optional<QVariant> property(const QString &name) const;
    void setProperty(const QString &name, const QVariant &value);
    QVariantMap monitorProperties(const QString &monitorPrefix) const;
    int workspaceShown() const;

    QDBusConnection m_bus;
    Workspaces m_workspaces;
};

} // namespace Starvane
