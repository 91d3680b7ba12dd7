// SPDX-License-Identifier: GPL-3.0-or-later
// How large a picture may be before we refuse to read it, and a decode that stays within that.
#pragma once

#include <QImage>
#include <QSize>

class QImageReader;

namespace Starvane {

/// The largest picture the client accepts is 16384 × 16384 pixels. An image whose header announces more
/// is refused before anything is decoded, so no decode ever needs more than this many pixels.
constexpr qint64 largestWallpaperSide = 16384;
constexpr qint64 largestWallpaperPixels = largestWallpaperSide * largestWallpaperSide;

/// No picture file is larger than its own pixels at four bytes each plus this much metadata; a bigger
/// one is refused before it is read, which keeps a multi-gigabyte file out of memory.
constexpr qint64 largestMetadataBytes = 16 * 1024 * 1024;

/// True when an image of `size` pixels, stored in a file of `fileBytes` bytes, may be read.
bool withinWallpaperBounds(QSize size, qint64 fileBytes);

/// Decodes the current image of `reader`, whose header announced `size`, at the reader's scaled size when
/// one is set. Returns a null image when the decode fails or `size` is beyond the bounds.
QImage readWithinWallpaperBounds(QImageReader &reader, QSize size);

} // namespace Starvane
