// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/appsettings.h"

#include <QList>
#include <QSet>
#include <QUrl>
#include <optional>

namespace Starvane {

/// Sets and reads desktop pictures. Synchronous, main thread only. URLs returned are standardised
/// file URLs (see standardizedFileURL).
class WallpaperApplying
{
public:
    virtual ~WallpaperApplying() = default;

    /// Throws WallpaperApplyError.
    virtual void applyWallpaper(const QUrl &file, DisplayScope scope) = 0;
    /// Pictures shown on any display now.
    virtual QSet<QUrl> currentDesktopImageURLs() = 0;
    /// One entry per display of the scope, primary first; absent where a display reports no picture.
    virtual QList<std::optional<QUrl>> desktopImageURLs(DisplayScope scope) = 0;
    /// Width over height of the primary display.
    virtual double primaryDisplayAspectRatio() = 0;
    /// False where the desktop keeps one picture for all displays: "main display" then sets it everywhere.
    virtual bool supportsPerDisplayWallpaper() const { return true; }
};

} // namespace Starvane
