// SPDX-License-Identifier: GPL-3.0-or-later
#include "previewimage.h"

#include <QImageReader>

namespace Starvane {

namespace {
// A whole-file decode is the last resort; allow large wallpapers but not absurd ones.
constexpr int kFallbackAllocationLimitMB = 1024;

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
            QImage image = reader.read();
            if (!image.isNull())
                return boundedPreview(std::move(image));
        }
    }
    QImageReader whole(path);
    whole.setAutoTransform(true);
    whole.setAllocationLimit(kFallbackAllocationLimitMB);
    return boundedPreview(whole.read());
}

} // namespace Starvane
