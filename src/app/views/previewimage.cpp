// SPDX-License-Identifier: GPL-3.0-or-later
#include "previewimage.h"

#include "integrity/imagebounds.h"

#include <QImageReader>

namespace Starvane {

namespace {
QImage boundedPreview(QImage image)
{
    if (image.isNull())
        return image;
    if (qMax(image.width(), image.height()) > kPreviewMaxPixelSize)
        image = image.scaled(kPreviewMaxPixelSize, kPreviewMaxPixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}
} // namespace

QImage loadPreviewImage(const QString &path)
{
    {
        QImageReader reader(path);
        reader.setAutoTransform(true);
        // size() reads the header only. The scaled size applies before the orientation transform,
        // so bounding the stored size bounds the oriented one too.
        const QSize stored = reader.size();
        if (stored.isValid() && !stored.isEmpty()) {
            if (qMax(stored.width(), stored.height()) > kPreviewMaxPixelSize)
                reader.setScaledSize(stored.scaled(kPreviewMaxPixelSize, kPreviewMaxPixelSize, Qt::KeepAspectRatio));
            // Formats without a reduced decode need the full size in memory: bounded by the largest
            // wallpaper we accept, without raising Qt's limit for the whole process.
            QImage image = readWithinWallpaperBounds(reader, stored);
            if (!image.isNull())
                return boundedPreview(std::move(image));
        }
    }
    QImageReader whole(path);
    whole.setAutoTransform(true);
    return boundedPreview(whole.read());
}

} // namespace Starvane
