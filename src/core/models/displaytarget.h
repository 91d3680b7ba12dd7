// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QString>

namespace Starvane {

/// One display as the applier sees it: the name the windowing system gives it (RandR monitor or
/// output, Wayland output), its geometry in logical pixels, its geometry in device pixels, whether it
/// is the primary display, and the key its own picture is remembered under.
struct DisplayTarget
{
    QString name;
    QRect geometry;
    QRect devicePixelGeometry;
    bool primary = false;
    /// Connector name, then manufacturer, model and serial number where known, joined by "|": the same
    /// monitor plugged in again finds its record.
    QString key;

    bool operator==(const DisplayTarget &) const = default;

    /// Width over height in device pixels; 0 for an empty geometry.
    double aspectRatio() const
    {
        const QSize s = devicePixelGeometry.size();
        return s.height() > 0 ? double(s.width()) / double(s.height()) : 0.0;
    }
    bool isPortrait() const { return devicePixelGeometry.height() > devicePixelGeometry.width(); }
};

/// Largest side a display may report before we take its geometry for a fault (no real screen is this big).
constexpr int maximumDisplaySide = 32768;

/// False for a display whose geometry is empty or absurd: it gets no picture of its own.
inline bool hasUsableGeometry(const DisplayTarget &d)
{
    const QRect g = d.devicePixelGeometry;
    return g.width() > 0 && g.height() > 0 && g.width() <= maximumDisplaySide && g.height() <= maximumDisplaySide;
}

} // namespace Starvane
