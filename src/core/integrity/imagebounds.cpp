// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagebounds.h"

#include <QImageIOHandler>
#include <QImageReader>

namespace Starvane {

bool withinWallpaperBounds(QSize size, qint64 fileBytes)
{
    if (!size.isValid() || size.isEmpty()) return false;
    const qint64 pixels = qint64(size.width()) * qint64(size.height());
    return pixels <= largestWallpaperPixels && fileBytes <= pixels * 4 + largestMetadataBytes;
}

QImage readWithinWallpaperBounds(QImageReader &reader, QSize size)
{
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * qint64(size.height()) > largestWallpaperPixels)
        return {};
    // A handler that decodes at a reduced size (JPEG) allocates only that.
    if (reader.scaledSize().isValid() && reader.supportsOption(QImageIOHandler::ScaledSize)) return reader.read();
    // The others decode at full size first, and Qt refuses allocations above its limit, which is one value
    // for the whole process and stays at its default. An image of the right size and format, allocated
    // here once the size is known to be within bounds, is filled in place instead.
    QImage image(size, reader.imageFormat());
    if (image.isNull()) return reader.read();
    if (!reader.read(&image)) return {};
    return image;
}

} // namespace Starvane
