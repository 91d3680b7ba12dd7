// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QSize>
#include <QString>
#include <QUrl>

namespace Starvane {

/// A validated image stored in the cache.
struct SavedWallpaper
{
    QUrl fileURL;
    qint64 width = 0;
    qint64 height = 0;
    /// SHA-256 of the file's bytes, 64 lower-case hex digits.
    QString contentHash;

    bool operator==(const SavedWallpaper &) const = default;
};

/// The cache operations the store calls. Both run on worker threads, possibly at the same time,
/// so implementations must be safe to call concurrently.
class WallpaperCaching
{
public:
    virtual ~WallpaperCaching() = default;

    /// Validates `file` and copies it into the cache. A portrait picture passes only `forPortraitDisplay`;
    /// otherwise it is refused before anything is written. Throws WallpaperCacheError or FileError.
    virtual SavedWallpaper saveValidatedImage(const QUrl &file, const QString &imageID,
                                              bool forPortraitDisplay) const = 0;
    /// Deletes the oldest cache files beyond `maxRetained`, never one in `keeping`. Never throws.
    virtual void pruneOldWallpapers(const QSet<QUrl> &keeping, int maxRetained) const = 0;
    /// Writes a small JPEG of `file`, at most `maxSide` pixels on its longer side, to `target`
    /// (atomically). False when either file could not be used. Never throws.
    virtual bool saveThumbnail(const QUrl &file, const QString &target, int maxSide) const = 0;
    /// The picture's pixel size, read from its header; empty when it cannot be read. Never throws.
    virtual QSize pixelSize(const QUrl &file) const = 0;
};

} // namespace Starvane
