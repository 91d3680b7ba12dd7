// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace Starvane {

/// What the application accepts as a wallpaper: at least full HD, and a shape between nearly square and
/// ultra-wide.
constexpr qint64 wallpaperMinimumWidth = 1920;
constexpr qint64 wallpaperMinimumHeight = 1080;
constexpr double wallpaperMinimumAspectRatio = 1.1;
constexpr double wallpaperMaximumAspectRatio = 2.6;

} // namespace Starvane
