// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/hubbleimage.h"

#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <optional>

namespace Starvane {

/// A picture as it is (or was) on a display: its archive record, the cached file, that file's content
/// hash and the archive address it was downloaded from. The one record of "what is on screen" that the
/// pipeline hands back, the screen state keeps and the library remembers.
struct ShownPicture
{
    /// As verified, with the saved file's pixel size.
    HubbleImage image;
    QUrl file;
    /// SHA-256 of the file, hex; empty when unknown.
    QString contentHash;
    /// Empty when unknown (a kept picture, a state from an earlier version).
    QUrl variantURL;

    bool operator==(const ShownPicture &) const = default;

    bool fileExists() const;
    QString id() const { return image.id; }

    /// {"image", "file" (a path), "hash"[, "variant"]}: the form the state files have always used.
    QJsonObject toJsonObject() const;
    /// Absent without a usable image record or file path.
    static std::optional<ShownPicture> fromJsonObject(const QJsonObject &o);
};

} // namespace Starvane
