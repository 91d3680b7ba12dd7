// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QDBusConnection>
#include <chrono>

namespace Starvane {

/// KDE Plasma 5 and 6 through plasmashell's D-Bus interface. Plasma 6 has setWallpaper/wallpaper;
/// older shells only take a script, into which paths go as JSON string literals.
class PlasmaBackend : public DesktopBackend
{
public:
    explicit PlasmaBackend(QDBusConnection bus = QDBusConnection::sessionBus());

    QString desktopName() const override { return QStringLiteral("KDE Plasma"); }
    bool perDisplay() const override { return true; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;

    /// The screen locker reads its picture from kscreenlockerrc whenever it locks. We write it with KDE's
    /// own configuration tool (kwriteconfig6, else kwriteconfig5), which keeps the file's other settings
    /// and KConfig's escaping intact. True when one of them is installed.
    bool lockScreen() const override;
    QCoro::Task<> showLockScreenPicture(QString path) override;
    /// How long one run of the configuration tool may take before it is stopped.
    void setToolTimeout(std::chrono::milliseconds timeout) { m_toolTimeout = timeout; }

    /// `text` as a JavaScript string literal (JSON, plus the two line separators JSON leaves raw).
    static QString scriptStringLiteral(const QString &text);

    static constexpr int fillAndCropMode = 2; // PreserveAspectCrop

private:
    QCoro::Task<bool> hasWallpaperMethods();
    QCoro::Task<QString> evaluate(QString script, bool throwOnError);
    /// Plasma numbers screens its own way (0 is the primary); match ours by geometry.
    QCoro::Task<int> plasmaScreen(DisplayTarget display, QList<DisplayTarget> allDisplays);

    QDBusConnection m_bus;
    std::optional<bool> m_hasWallpaperMethods;
    std::chrono::milliseconds m_toolTimeout;
};

} // namespace Starvane
