// SPDX-License-Identifier: GPL-3.0-or-later
// The store and what was shown before: the history, stepping back, kept pictures and banned ones.
#include "wallpaperstore.h"

#include "async/cancellation.h"
#include "contracts/hubbleimagefetching.h"
#include "contracts/wallpapercaching.h"
#include "fetchpipeline.h"
#include "keptpictures.h"
#include "logging.h"
#include "rotationschedule.h"
#include "wallpaperhistory.h"

#include <QFileInfo>

namespace Starvane {

void WallpaperStore::startKeptPicture(bool isAutomatic)
{
    // The kept pictures in turn, by name, going on after the one on screen; banned ones are skipped.
    QList<KeptPictures::Picture> kept = m_kept->all();
    kept.removeIf([this](const KeptPictures::Picture &p) { return m_history->isBannedID(p.id); });
    if (kept.isEmpty()) {
        reportKeptPictureFailure(tr("No kept pictures to show. Keep a picture first, or rotate among all pictures."),
                                 isAutomatic);
        return;
    }
    qsizetype next = 0;
    if (m_currentImage) {
        for (qsizetype i = 0; i < kept.size(); ++i)
            if (kept[i].id == m_currentImage->id) next = (i + 1) % kept.size();
    }
    const KeptPictures::Picture &picture = kept[next];
    HubbleImage image = m_archive->candidateForID(picture.id).value_or(HubbleImage{});
    image.id = picture.id;
    image.title = picture.title;
    for (const HistoryEntry &e : m_history->entries()) {
        if (e.id != picture.id) continue;
        image.title = e.title;
        image.credit = e.credit;
        if (e.captureYear > 0) image.dateCaptured = QString::number(e.captureYear);
        break;
    }
    m_pipeline->start(isAutomatic, FetchPipeline::Revisit{image, picture.file, QString(), std::nullopt});
}

void WallpaperStore::recordInHistory(const HubbleImage &image, const QString &file, const QString &contentHash,
                                     const QString &display)
{
    bool isYear = false;
    const int year = image.dateCaptured ? image.dateCaptured->toInt(&isYear) : 0;
    HistoryEntry entry{image.id,
                       image.title.trimmed(),
                       image.credit,
                       isYear ? year : 0,
                       m_now().toUTC(),
                       display,
                       file,
                       contentHash,
                       m_history->thumbnailPath(image.id)};
    m_history->record(entry);
    if (entry.thumbnail.isEmpty()) return;
    // Made off the main thread; until it exists the picture's own file stands in.
    auto makeThumbnail = [cache = m_cache, file, target = entry.thumbnail] {
        if (!cache->saveThumbnail(QUrl::fromLocalFile(file), target, 256))
            qCWarning(lcStore).noquote() << QStringLiteral("Could not make a thumbnail of %1").arg(file);
    };
    spawn(runInBackground(std::move(makeThumbnail)), QStringLiteral("thumbnail"));
}

std::optional<int> WallpaperStore::previousHistoryIndex() const
{
    const QList<HistoryEntry> &entries = m_history->entries();
    const QString current = m_currentImage ? m_currentImage->id : QString();
    for (int i = m_historyPosition + 1; i < entries.size(); ++i) {
        // The same picture twice in a row is no step back.
        if (entries[i].id == current || m_history->isBannedID(entries[i].id)) continue;
        return i;
    }
    return std::nullopt;
}

bool WallpaperStore::canShowPreviousWallpaper() const
{
    return previousHistoryIndex().has_value();
}

bool WallpaperStore::showPreviousWallpaper()
{
    const std::optional<int> index = previousHistoryIndex();
    return index && showHistoryEntry(*index);
}

std::optional<HubbleImage> WallpaperStore::recordFor(const HistoryEntry &entry) const
{
    std::optional<HubbleImage> image = m_archive->candidateForID(entry.id);
    if (!image) {
        // Without the archive's addresses the file on disk is the only way back.
        if (entry.file.isEmpty() || !QFileInfo(entry.file).isFile()) return std::nullopt;
        image = HubbleImage{};
        image->id = entry.id;
    }
    image->title = entry.title;
    image->credit = entry.credit;
    if (entry.captureYear > 0) image->dateCaptured = QString::number(entry.captureYear);
    return image;
}

bool WallpaperStore::showHistoryEntry(int index)
{
    if (index < 0 || index >= m_history->entries().size() || m_pipeline->isActive()) return false;
    const HistoryEntry &entry = m_history->entries().at(index);
    const std::optional<HubbleImage> image = recordFor(entry);
    if (!image) {
        setErrorMessage(tr("This picture can no longer be shown."));
        return false;
    }
    qCInfo(lcStore).noquote() << QStringLiteral("Showing history entry %1 (%2) again").arg(index).arg(entry.id);
    return m_pipeline->start(false, FetchPipeline::Revisit{*image, entry.file, entry.hash, index});
}

bool WallpaperStore::isKept(const QString &id) const
{
    return m_kept->isKept(id);
}

bool WallpaperStore::isCurrentKept() const
{
    return m_currentImage && m_kept->isKept(m_currentImage->id);
}

std::optional<QString> WallpaperStore::keep(const QString &file, const HubbleImage &image)
{
    const std::optional<QString> error =
        m_kept->keep(file, KeptPictures::Description{image.id, image.title.trimmed(), image.credit, image.detailsURL});
    if (error) {
        qCWarning(lcStore).noquote() << QStringLiteral("Could not keep %1: %2").arg(image.id, *error);
        setErrorMessage(*error);
    } else {
        Q_EMIT historyChanged();
    }
    return error;
}

std::optional<QString> WallpaperStore::keepCurrentWallpaper()
{
    if (!m_currentImage || !currentFileExists()) return tr("There is no picture on screen to keep.");
    return keep(m_currentLocalFileURL->toLocalFile(), *m_currentImage);
}

std::optional<QString> WallpaperStore::keepHistoryEntry(int index)
{
    if (index < 0 || index >= m_history->entries().size()) return tr("There is no such picture.");
    const HistoryEntry &entry = m_history->entries().at(index);
    if (entry.file.isEmpty() || !QFileInfo(entry.file).isFile())
        return tr("The picture's file is gone; show it again first.");
    HubbleImage image = recordFor(entry).value_or(HubbleImage{});
    image.id = entry.id;
    return keep(entry.file, image);
}

bool WallpaperStore::unkeep(const QString &id)
{
    const bool removed = m_kept->unkeep(id);
    if (removed) {
        qCInfo(lcStore).noquote() << QStringLiteral("No longer keeping %1").arg(id);
        Q_EMIT historyChanged();
    }
    return removed;
}

void WallpaperStore::neverAgain()
{
    if (!m_currentImage) return;
    qCInfo(lcStore).noquote() << QStringLiteral("Never again: %1").arg(m_currentImage->id);
    m_history->ban(m_currentImage->id, m_currentContentHash.value_or(QString()));
    Q_EMIT historyChanged();
    // A change the schedule started goes on and replaces the picture anyway.
    startFetch(false);
}

void WallpaperStore::banHistoryEntry(int index)
{
    if (index < 0 || index >= m_history->entries().size()) return;
    const HistoryEntry entry = m_history->entries().at(index);
    if (m_currentImage && m_currentImage->id == entry.id) {
        neverAgain();
        return;
    }
    qCInfo(lcStore).noquote() << QStringLiteral("Never again: %1").arg(entry.id);
    m_history->ban(entry.id, entry.hash);
    Q_EMIT historyChanged();
}

void WallpaperStore::liftBan(const QString &id)
{
    if (!m_history->isBannedID(id)) return;
    qCInfo(lcStore).noquote() << QStringLiteral("Lifted the ban on %1").arg(id);
    m_history->liftBan(id);
    Q_EMIT historyChanged();
}

std::optional<QUrl> WallpaperStore::archivePage(const QString &id) const
{
    const std::optional<HubbleImage> image = m_archive->candidateForID(id);
    if (!image || !image->detailsURL.isValid()) return std::nullopt;
    return image->detailsURL;
}

void WallpaperStore::updateOnlyKeptPictures(bool onlyKept)
{
    if (m_settings.onlyKeptPictures == onlyKept) return;
    AppSettings next = m_settings;
    next.onlyKeptPictures = onlyKept;
    setSettings(next);
    qCInfo(lcStore).noquote()
        << QStringLiteral("Only kept pictures: %1").arg(onlyKept ? QStringLiteral("true") : QStringLiteral("false"));
    m_pipeline->cancelIfAutomatic();
    persistState();
}

void WallpaperStore::reportKeptPictureFailure(const QString &message, bool wasAutomatic)
{
    setErrorMessage(message);
    if (m_schedule->retryAfterFailure(m_settings, wasAutomatic)) persistState();
}

} // namespace Starvane
