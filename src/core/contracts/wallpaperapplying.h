// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/appsettings.h"
#include "models/displaytarget.h"

#include <QCoroTask>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSize>
#include <QUrl>
#include <functional>
#include <optional>
#include <stop_token>

namespace Starvane {

/// One display (by its key) and the picture it is to show.
struct DisplayWallpaper
{
    QString displayKey;
    QUrl file;

    bool operator==(const DisplayWallpaper &) const = default;
};

/// The words a picture's caption shows.
struct WallpaperCaption
{
    QString title;
    QString credit;

    bool operator==(const WallpaperCaption &) const = default;
};

/// How pictures are dressed on the desktop: in copies made beside them, never in the pictures themselves.
struct WallpaperLook
{
    /// Title and credit in a corner that every display keeps after cropping.
    bool caption = false;
    /// A darkened copy while the desktop's style is dark.
    bool dimInDarkStyle = false;
    /// The desktop's colour scheme is dark now.
    bool darkStyle = false;
    /// The caption of each picture to be shown, by its file.
    QHash<QUrl, WallpaperCaption> captions;

    bool operator==(const WallpaperLook &) const = default;
    /// Nothing to dress: the pictures go on the desktop as they are.
    bool isPlain() const { return !caption && !dimInDarkStyle; }
};

/// Sets and reads desktop pictures. Main thread only; nothing here blocks it: every operation that talks
/// to the desktop is awaited. URLs returned are standardised file URLs (see standardizedFileURL); a
/// dressed copy the desktop shows is reported as the picture it was made from.
class WallpaperApplying
{
public:
    virtual ~WallpaperApplying() = default;

    /// Heavy work for a coming applyWallpaper of `file` (decoding and scaling, for desktops whose
    /// picture we render ourselves), done off the main thread. Optional: applyWallpaper works without
    /// it. Never throws except CancelledError; the default does nothing.
    virtual QCoro::Task<> prepareWallpaper(QUrl file, DisplayScope scope, std::stop_token st);
    /// Shows `file` on the displays of `scope`. Applies are serialised: one requested while another runs
    /// waits for it. Throws WallpaperApplyError; CancelledError when `st` stops it before the desktop
    /// was changed (once the desktop has changed, the apply completes).
    virtual QCoro::Task<> applyWallpaper(QUrl file, DisplayScope scope, std::stop_token st) = 0;
    /// Pictures shown on any display now.
    virtual QCoro::Task<QSet<QUrl>> currentDesktopImageURLs() = 0;
    /// One entry per display of the scope, primary first; absent where a display reports no picture.
    virtual QCoro::Task<QList<std::optional<QUrl>>> desktopImageURLs(DisplayScope scope) = 0;
    /// Width over height of the primary display.
    virtual double primaryDisplayAspectRatio() = 0;
    /// Native pixel size of the display with the most pixels; empty when unknown.
    virtual QSize largestDisplayPixelSize() { return {}; }
    /// False where the desktop keeps one picture for all displays: "main display" then sets it everywhere.
    virtual bool supportsPerDisplayWallpaper() const { return true; }

    /// The displays that can take a picture of their own, primary first; a display whose geometry is
    /// empty or absurd is left out (and logged).
    virtual QList<DisplayTarget> displayTargets() { return {}; }
    /// Shows each picture on its display as one change: when a display refuses, the ones already
    /// changed are put back. Pictures for displays no longer connected are ignored. Serialised with
    /// applyWallpaper. Throws WallpaperApplyError; CancelledError as applyWallpaper.
    virtual QCoro::Task<> applyDisplayWallpapers(QList<DisplayWallpaper> pictures, std::stop_token st);

    /// How the applies from now on dress their pictures. Set by the one who applies, just before.
    virtual void setLook(WallpaperLook look) { (void)look; }
    /// True where the desktop itself shows a dark picture in the dark style (it is given both): the
    /// style changing then needs no apply.
    virtual bool showsDarkStyleItself() const { return false; }

    /// Whether the desktop's lock screen can show our pictures.
    virtual bool supportsLockScreen() const { return false; }
    /// Shows `file` on the lock screen. Throws WallpaperApplyError.
    virtual QCoro::Task<> applyLockScreen(QUrl file, std::stop_token st);

    /// `listener` is told true when the desktop starts asking the person whether Starvane may change its
    /// picture (the apply that asked waits for the answer, without a time-out; other applies fail at once
    /// meanwhile), and false once it has been answered. Main thread. The default never asks.
    virtual void onAskingForPermission(std::function<void(bool asking)> listener) { (void)listener; }
};

} // namespace Starvane
