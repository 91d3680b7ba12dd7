// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QDBusConnection>

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
};

} // namespace Starvane
