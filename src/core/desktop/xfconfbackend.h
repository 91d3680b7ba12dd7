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
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;

    static constexpr int zoomedImageStyle = 5;

private:
    QCoro::Task<std::optional<QVariant>> property(QString name) const;
    QCoro::Task<> setProperty(QString name, QVariant value);
    QCoro::Task<QVariantMap> monitorProperties(QString monitorPrefix) const;
    QCoro::Task<int> workspaceShown() const;

    QDBusConnection m_bus;
    Workspaces m_workspaces;
};

} // namespace Starvane
