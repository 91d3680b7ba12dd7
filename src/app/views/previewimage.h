// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

namespace Starvane {

/// Longest side of a preview, in pixels.
constexpr int kPreviewMaxPixelSize = 960;

/// A preview of the image file at `path`, oriented as its EXIF data says and no larger than
/// kPreviewMaxPixelSize on its longer side. Formats that can decode at a reduced size (JPEG's DCT
/// scaling) never decode at full size; only a file whose size cannot be read up front is decoded
/// whole and then reduced. A null image when the file cannot be read. Safe on any thread; slow:
/// never call it on the main thread.
QImage loadPreviewImage(const QString &path);

} // namespace Starvane
