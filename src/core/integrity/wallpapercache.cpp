// SPDX-License-Identifier: GPL-3.0-or-later
#include "wallpapercache.h"

#include "contenthash.h"
#include "derivedwallpaper.h"
#include "imagebounds.h"
#include "jpegintegrityvalidator.h"
#include "jpegwriter.h"
#include "models/errors.h"
#include "models/fileurls.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>
#include <algorithm>
#include <filesystem>
#include <limits>

namespace Starvane {

namespace {
constexpr int thumbnailMaxPixelSize = 512;
constexpr qint64 pngTrailerWindow = 64;
constexpr int maxNameComponentLength = 48;
// "IEND" and the CRC of an empty IEND chunk.
constexpr char pngTrailer[] = {'\x49', '\x45', '\x4E', '\x44', '\xAE', '\x42', '\x60', '\x82'};

// Names the format of the pictures the archive serves from their first bytes. Left to itself, Qt
// recognises a file without a telling suffix (a download ends in .tmp) by loading every image plugin in
// turn, and each stays mapped with its libraries (TIFF, WebP, MNG, colour management) for good.
QByteArray formatFromSignature(QFile &file)
{
    const QByteArray head = file.peek(12);
    if (head.startsWith("\xFF\xD8\xFF")) return QByteArrayLiteral("jpeg");
    if (head.startsWith("\x89PNG\r\n\x1A\n")) return QByteArrayLiteral("png");
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") return QByteArrayLiteral("webp");
    return {};
}
} // namespace

WallpaperCache::WallpaperCache(QUrl directoryURL, qint64 minimumWidth, qint64 minimumHeight, double minimumAspectRatio,
                               double maximumAspectRatio)
    : m_directoryURL(std::move(directoryURL)), m_minimumWidth(minimumWidth), m_minimumHeight(minimumHeight),
      m_minimumAspectRatio(minimumAspectRatio), m_maximumAspectRatio(maximumAspectRatio)
{
}

QUrl WallpaperCache::defaultDirectoryURL()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::tempPath();
    return QUrl::fromLocalFile(QDir::cleanPath(base + QStringLiteral("/Starvane/Wallpapers")));
}

ValidatedImage WallpaperCache::validateImage(const QUrl &fileURL, bool forPortraitDisplay) const
{
    const QString path = fileURL.toLocalFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw FileError(file.errorString());

    // Headers only: size() and format() do not decode pixels.
    const QByteArray known = formatFromSignature(file);
    QImageReader reader(&file, known);
    // With a format but no telling suffix, Qt still asks every plugin until one accepts it.
    reader.setAutoDetectImageFormat(known.isEmpty());
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();
    if (format.isEmpty()) throw WallpaperCacheError::invalidImageData();
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) throw WallpaperCacheError::invalidImageData();
    // Before anything reads more than the header: a picture beyond what we would ever show is no wallpaper.
    if (!withinWallpaperBounds(size, file.size())) throw WallpaperCacheError::invalidImageData();

    const qint64 width = size.width();
    const qint64 height = size.height();
    const bool upright = (m_acceptsPortrait || forPortraitDisplay) && height > width;
    const qint64 across = upright ? height : width;
    const qint64 down = upright ? width : height;
    if (across < m_minimumWidth || down < m_minimumHeight) throw WallpaperCacheError::imageTooSmall(width, height);
    const double ratio = double(across) / double(down);
    if (ratio < m_minimumAspectRatio || ratio > m_maximumAspectRatio)
        throw WallpaperCacheError::unsuitableAspectRatio(width, height);
    file.close();

    verifyImageIntegrity(path, format);
    return {width, height, sha256Hex(path), format};
}

SavedWallpaper WallpaperCache::saveValidatedImage(const QUrl &file, const QString &imageID,
                                                  bool forPortraitDisplay) const
{
    const ValidatedImage image = validateImage(file, forPortraitDisplay);

    const QString tag = QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toLower();
    const QString name =
        sanitizedFilenameComponent(imageID) + QLatin1Char('-') + tag + QLatin1Char('.') + fileExtension(image.format);

    const QString directory = QDir::cleanPath(m_directoryURL.toLocalFile());
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(directory.toStdString()), ec);
    // The bare system text ("Not a directory", "Failure to write block") does not tell the user where.
    const auto cannotSave = [&directory](const QString &reason) {
        return FileError(QStringLiteral("Cannot save the wallpaper in %1: %2").arg(directory, reason));
    };
    if (ec) throw cannotSave(QString::fromStdString(ec.message()));

    const QString destination = directory + QLatin1Char('/') + name;
    QFile source(file.toLocalFile());
    // QFile::copy writes through a temporary file and refuses an existing destination: a failed copy
    // leaves every cached file as it was.
    if (!source.copy(destination)) throw cannotSave(source.errorString());

    return {QUrl::fromLocalFile(destination), image.width, image.height, image.contentHash};
}

void WallpaperCache::verifyImageIntegrity(const QString &path, const QByteArray &format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw FileError(file.errorString());
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(false);
    if (!reader.canRead()) throw WallpaperCacheError::truncatedImageData();

    // Qt's JPEG decoder hands back a grey-filled image for a cut file, so for JPEG our own walk decides.
    if (format == "jpeg")
        JPEGIntegrityValidator::validate(QUrl::fromLocalFile(path));
    else if (format == "png")
        verifyPNGTrailer(path);

    const QSize full = reader.size();
    if (full.isValid() && std::max(full.width(), full.height()) > thumbnailMaxPixelSize)
        reader.setScaledSize(
            full.scaled(thumbnailMaxPixelSize, thumbnailMaxPixelSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    if (readWithinWallpaperBounds(reader, full).isNull()) throw WallpaperCacheError::truncatedImageData();
}

void WallpaperCache::verifyPNGTrailer(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw FileError(file.errorString());
    const qint64 size = file.size();
    if (size < 16) throw WallpaperCacheError::truncatedImageData();
    const qint64 window = std::min(size, pngTrailerWindow);
    if (!file.seek(size - window)) throw FileError(file.errorString());
    const QByteArray tail = file.read(window);
    if (tail.isEmpty()) {
        if (file.error() != QFileDevice::NoError) throw FileError(file.errorString());
        throw WallpaperCacheError::truncatedImageData();
    }
    if (!tail.contains(QByteArray::fromRawData(pngTrailer, sizeof pngTrailer)))
        throw WallpaperCacheError::truncatedImageData();
}

QString WallpaperCache::sha256Hex(const QString &path)
{
    return sha256HexOfFile(path);
}

QString WallpaperCache::fileExtension(const QByteArray &format)
{
    if (format == "png") return QStringLiteral("png");
    if (format == "webp") return QStringLiteral("webp");
    return QStringLiteral("jpg");
}

QString WallpaperCache::sanitizedFilenameComponent(const QString &identifier)
{
    QString result;
    int kept = 0;
    for (const char32_t c : identifier.toUcs4()) {
        if (kept == maxNameComponentLength) break;
        const bool allowed = QChar::isLetterOrNumber(c) || QChar::isMark(c) || c == U'-' || c == U'_';
        if (allowed)
            result.append(QString::fromUcs4(&c, 1));
        else
            result.append(QLatin1Char('_'));
        ++kept;
    }
    if (result.isEmpty()) return QStringLiteral("hubble");
    return result;
}

QImage WallpaperCache::decodeThumbnail(const QString &path, int maxSide)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return {};
    reader.setScaledSize(size.scaled(QSize(maxSide, maxSide), Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return reader.read();
}

bool WallpaperCache::saveThumbnail(const QUrl &file, const QString &target, int maxSide) const
{
    const QImage image = decodeThumbnail(file.toLocalFile(), maxSide);
    if (image.isNull()) return false;
    QDir().mkpath(QFileInfo(target).path());
    QSaveFile out(target);
    return out.open(QIODevice::WriteOnly) && writeJpeg(image, &out, 85) && out.commit();
}

void WallpaperCache::pruneOldWallpapers(const QSet<QUrl> &keeping, int maxRetained) const
{
    const QString directory = QDir::cleanPath(m_directoryURL.toLocalFile());
    QDir dir(directory);
    if (directory.isEmpty() || !dir.exists()) return;

    QSet<QString> keptPaths;
    for (const QUrl &url : keeping)
        keptPaths.insert(standardizedFileURL(url).toLocalFile());

    struct Entry
    {
        QString path;
        QDateTime modified;
    };
    QList<Entry> entries;
    // Copies with a caption or darkened are no pictures of their own: they go with the one they were made from.
    QList<QString> derived;
    // Hidden files are not listed at all; symbolic links and folders are listed but never ours to delete.
    const QFileInfoList listing = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo &info : listing) {
        if (info.isSymLink() || !info.isFile()) continue;
        const QString path = QDir::cleanPath(info.absoluteFilePath());
        if (DerivedWallpaper::isDerived(path)) {
            derived.append(path);
            continue;
        }
        QDateTime modified = info.lastModified();
        if (!modified.isValid()) modified = QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min() / 2);
        entries.append({path, modified});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.modified > b.modified; });

    int survivors = 0;
    for (const Entry &entry : std::as_const(entries)) {
        if (keptPaths.contains(entry.path)) {
            ++survivors;
        } else if (survivors < maxRetained) {
            ++survivors;
        } else {
            // A file that will not go away stays; the next prune tries again.
            QFile::remove(entry.path);
        }
    }
    for (const QString &path : std::as_const(derived)) {
        if (keptPaths.contains(path) || QFileInfo(DerivedWallpaper::originalOf(path)).isFile()) continue;
        QFile::remove(path);
    }
}

QSize WallpaperCache::pixelSize(const QUrl &file) const
{
    QImageReader reader(file.toLocalFile());
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    return size.isValid() ? size : QSize();
}

} // namespace Starvane
