// SPDX-License-Identifier: GPL-3.0-or-later
// Which displays there are, what each is called across reconnections, and their shapes.
#include "desktop/linuxwallpaperapplier.h"

#include "logging.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include <algorithm>

namespace Starvane {

namespace {
constexpr double defaultAspectRatio = 16.0 / 9.0;
constexpr double minimumAspectRatio = 1.1;
constexpr double maximumAspectRatio = 2.6;

DisplayTarget targetFor(const QScreen *screen, bool primary)
{
    const QRect logical = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    const QRect device(qRound(logical.x() * ratio), qRound(logical.y() * ratio), qRound(logical.width() * ratio),
                       qRound(logical.height() * ratio));
    return {screen->name(), logical, device, primary, displayKey(screen)};
}
} // namespace

QString displayKey(const QString &name, const QString &manufacturer, const QString &model, const QString &serial)
{
    QStringList parts{name};
    for (const QString &part : {manufacturer, model, serial}) {
        if (!part.trimmed().isEmpty()) parts << part.trimmed();
    }
    return parts.join(QLatin1Char('|'));
}

QString displayKey(const QScreen *screen)
{
    return displayKey(screen->name(), screen->manufacturer(), screen->model(), screen->serialNumber());
}

QList<DisplayTarget> connectedDisplays()
{
    QList<DisplayTarget> result;
    // Only a GUI application knows the screens (a console tool or test may run without one).
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) return result;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary) result.append(targetFor(primary, true));
    const auto screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        if (screen != primary) result.append(targetFor(screen, false));
    }
    return result;
}

QList<DisplayTarget> LinuxWallpaperApplier::displays(DisplayScope scope) const
{
    QList<DisplayTarget> all = m_displays();
    if (scope == DisplayScope::mainDisplay && all.size() > 1) all.resize(1);
    return all;
}

QList<DisplayTarget> LinuxWallpaperApplier::displayTargets()
{
    QList<DisplayTarget> usable;
    const QList<DisplayTarget> all = m_displays();
    for (const DisplayTarget &display : all) {
        if (hasUsableGeometry(display))
            usable << display;
        else
            qCWarning(lcDesktop).noquote() << QStringLiteral("Skipping display %1 with unusable geometry %2x%3")
                                                  .arg(display.name)
                                                  .arg(display.devicePixelGeometry.width())
                                                  .arg(display.devicePixelGeometry.height());
    }
    return usable;
}

double LinuxWallpaperApplier::primaryDisplayAspectRatio()
{
    const QList<DisplayTarget> all = m_displays();
    if (all.isEmpty() || all.first().geometry.height() <= 0) return defaultAspectRatio;
    const double ratio = double(all.first().geometry.width()) / double(all.first().geometry.height());
    return std::clamp(ratio, minimumAspectRatio, maximumAspectRatio);
}

QSize LinuxWallpaperApplier::largestDisplayPixelSize()
{
    QSize largest;
    for (const DisplayTarget &display : m_displays()) {
        const QSize size = display.devicePixelGeometry.size();
        if (qint64(size.width()) * size.height() > qint64(largest.width()) * largest.height()) largest = size;
    }
    return largest;
}

} // namespace Starvane
