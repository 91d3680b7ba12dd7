// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QByteArray>
#include <QHash>

namespace Starvane {

/// Plain X11 window managers: paints the root window's background pixmap, one region per monitor,
/// filled and centre-cropped, the way feh and hsetroot do. The X server keeps no file names, so we
/// keep our own record on the root window and trust it only while our pixmap is still the root's.
class X11RootBackend : public DesktopBackend
{
public:
    /// `displayName` is the X display to use (empty: $DISPLAY).
    explicit X11RootBackend(QByteArray displayName = {});

    QString desktopName() const override { return QStringLiteral("X11"); }
    bool perDisplay() const override { return true; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;

    std::function<QImage(const QString &path, const DisplayTarget &display)> renderer() const override;
    void adoptRendered(const QString &path, const DisplayTarget &display, const QImage &image) override;

    /// Decodes `path` scaled down while reading, then fills and centre-crops it to the display. Any thread.
    static QImage renderForDisplay(const QString &path, const DisplayTarget &display, QString *error = nullptr);

    /// Name of the root-window property that holds our record.
    static constexpr const char *recordProperty = "_STARVANE_WALLPAPERS";

private:
    QByteArray m_displayName;
    // Rendered ahead of showPicture, keyed by path and display name; at most one picture's worth.
    QString m_renderedPath;
    QHash<QString, QImage> m_rendered;
};

/// Facts about the X server that desktop detection needs: whether it answers, and whether a desktop
/// window (a file manager's desktop) covers the root window.
struct X11DesktopFacts
{
    bool reachable = false;
    bool desktopWindowMapped = false;
};
X11DesktopFacts probeX11Desktop(const QByteArray &displayName = {});

} // namespace Starvane
