// SPDX-License-Identifier: GPL-3.0-or-later
#include "shownpicture.h"

#include <QFileInfo>

namespace Starvane {

bool ShownPicture::fileExists() const
{
    return file.isLocalFile() && QFileInfo(file.toLocalFile()).isFile();
}

QJsonObject ShownPicture::toJsonObject() const
{
    QJsonObject o{{QStringLiteral("image"), image.toJsonObject()},
                  {QStringLiteral("file"), file.toLocalFile()},
                  {QStringLiteral("hash"), contentHash}};
    if (variantURL.isValid()) o.insert(QStringLiteral("variant"), variantURL.toString());
    return o;
}

std::optional<ShownPicture> ShownPicture::fromJsonObject(const QJsonObject &o)
{
    const std::optional<HubbleImage> image = HubbleImage::fromJsonObject(o.value(QStringLiteral("image")).toObject());
    const QString path = o.value(QStringLiteral("file")).toString();
    if (!image || path.isEmpty() || QFileInfo(path).isRelative()) return std::nullopt;
    QUrl variant(o.value(QStringLiteral("variant")).toString());
    if (!variant.isValid() || variant.isRelative()) variant.clear();
    return ShownPicture{*image, QUrl::fromLocalFile(path), o.value(QStringLiteral("hash")).toString(), variant};
}

} // namespace Starvane
