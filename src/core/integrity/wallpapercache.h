// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "contracts/wallpapercaching.h"
#include "models/wallpaperlimits.h"

#include <QByteArray>
#include <QImage>
#include <QSet>
#include <QString>
#include <QUrl>

namespace Starvane {

/// What validation learnt about an image file.
struct ValidatedImage
{
    qint64 width = 0;
    qint64 height = 0;
    /// SHA-256 of the file's bytes, 64 lower-case hex digits.
    QString contentHash;
    /// Qt's name of the image format read from the content ("jpeg", "png", "webp", ...).
    QByteArray format;
};

/// The on-disk cache of validated wallpapers. A value: its fields are fixed at construction, everything
/// else lives in the folder. Both operations may run on several worker threads at once.
class WallpaperCache : public WallpaperCaching
{
public:
    WallpaperCache(QUrl directoryURL, qint64 minimumWidth, qint64 minimumHeight, double minimumAspectRatio,
                   double maximumAspectRatio);

    /// ~/.local/share/Starvane/Wallpapers (the per-user data folder, or the temporary folder without one).
    /// Nothing is created.
    static QUrl defaultDirectoryURL();

    QUrl directoryURL() const { return m_directoryURL; }
    qint64 minimumWidth() const { return m_minimumWidth; }
    qint64 minimumHeight() const { return m_minimumHeight; }
    double minimumAspectRatio() const { return m_minimumAspectRatio; }
    double maximumAspectRatio() const { return m_maximumAspectRatio; }
    /// Also take pictures of the same bounds turned on their side on every save, not only on those for a
    /// portrait display. Off by default.
    void setAcceptsPortrait(bool accepts) { m_acceptsPortrait = accepts; }

    /// Checks size, shape and completeness, hashes the file and copies it (never moves it) into the folder
    /// as <sanitised id>-<8 hex digits>.<jpg|png|webp>. Throws WallpaperCacheError or FileError; nothing is
    /// written unless every check passed.
    SavedWallpaper saveValidatedImage(const QUrl &file, const QString &imageID,
                                      bool forPortraitDisplay) const override;
    SavedWallpaper saveValidatedImage(const QUrl &file, const QString &imageID) const
    {
        return saveValidatedImage(file, imageID, false);
    }

    /// Deletes regular files from newest to oldest once `maxRetained` survivors are counted; files in
    /// `keeping` always survive (and count). Hidden files and folders are left alone. A derived copy (a
    /// caption, the dark style) neither counts nor survives the picture it was made from. Never throws.
    void pruneOldWallpapers(const QSet<QUrl> &keeping, int maxRetained) const override;
    bool saveThumbnail(const QUrl &file, const QString &target, int maxSide) const override;
    QSize pixelSize(const QUrl &file) const override;
    /// `path` decoded at most `maxSide` pixels on its longer side, reduced while reading (a 4K JPEG never
    /// exists at full size); null when it cannot be read. Any thread.
    static QImage decodeThumbnail(const QString &path, int maxSide);

    /// Every check of a save, and the hash, without writing anything.
    ValidatedImage validateImage(const QUrl &file, bool forPortraitDisplay = false) const;

private:
    static void verifyImageIntegrity(const QString &path, const QByteArray &format);
    static void verifyPNGTrailer(const QString &path);
    static QString sha256Hex(const QString &path);
    static QString fileExtension(const QByteArray &format);
    static QString sanitizedFilenameComponent(const QString &identifier);

    QUrl m_directoryURL;
    qint64 m_minimumWidth;
    qint64 m_minimumHeight;
    double m_minimumAspectRatio;
    double m_maximumAspectRatio;
    bool m_acceptsPortrait = false;
};

} // namespace Starvane
