// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

class QIODevice;

namespace Starvane {

/// Writes `image` to `device` as a JPEG of the given quality (0–100). Returns false when it could not.
///
/// QImageWriter asks every installed image plugin whether it can write before it picks one, and so loads
/// all of them, with libtiff, libmng, lcms2 and libwebp behind them, for the rest of the process's life:
/// about 1.3 MB of a tray program that only ever writes JPEG. This goes to the JPEG plugin alone.
bool writeJpeg(const QImage &image, QIODevice *device, int quality);

} // namespace Starvane
