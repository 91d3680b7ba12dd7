// SPDX-License-Identifier: GPL-3.0-or-later
// One fetch is one complete wallpaper change: draw, verify, download (with one fallback), validate and
// save, skip recent duplicates, apply, remember, prune, reschedule, persist. Up to six candidates.
#include "wallpaperstore.h"

#include "async/cancellation.h"
#include "contracts/hubbleimagefetching.h"
#include "logging.h"
#include "models/fileurls.h"
#include "contracts/wallpaperapplying.h"
#include "contracts/wallpapercaching.h"

#include <QFile>
#include <QPointer>

namespace Starvane {

namespace {
bool isApplyError(const std::exception_ptr &e)
{
    try {
        std::rethrow_exception(e);
    } catch (const WallpaperApplyError &) {
        return true;
    } catch (...) {
        return false;
    }
}
} // namespace

void WallpaperStore::requestNextWallpaper()
{
    startFetch(false);
}

QCoro::Task<> WallpaperStore::applyNextWallpaper()
{
    if (!m_activeFetchTask)
        startFetch(false);
    if (m_activeFetchTask)
        co_await NextEmission<WallpaperStore>{this, &WallpaperStore::fetchTaskEnded};
}

void WallpaperStore::startFetch(bool isAutomatic)
{
    if (m_isLoading || m_activeFetchTask)
        return;
    const QUuid fetchID = QUuid::createUuid();
    m_activeFetchID = fetchID;
    m_activeFetchIsAutomatic = isAutomatic;
    m_activeFetchTask.emplace();
    const std::stop_token st = m_activeFetchTask->get_token();
    // Pending until the event loop runs it; a stop() before then clears the id and the task does nothing.
    QMetaObject::invokeMethod(
        this, [this, fetchID, isAutomatic, st] { spawn(runFetchTask(fetchID, isAutomatic, st), QStringLiteral("fetch")); },
        Qt::QueuedConnection);
}

QCoro::Task<> WallpaperStore::runFetchTask(QUuid fetchID, bool isAutomatic, std::stop_token st)
{
    QPointer<WallpaperStore> self(this);
    co_await performFetch(fetchID, isAutomatic, st);
    if (self)
        Q_EMIT fetchTaskEnded();
}

QCoro::Task<> WallpaperStore::performFetch(QUuid fetchID, bool isAutomatic, std::stop_token st)
{
    if (m_activeFetchID != fetchID || m_isLoading)
        co_return;
    QPointer<WallpaperStore> self(this);
    setLoading(true);
    setErrorMessage(std::nullopt);

    std::exception_ptr failure;
    try {
        std::exception_ptr lastCandidateError;
        bool succeeded = false;
        for (int attempt = 1; attempt <= StoreLimits::maxAttempts && !succeeded; ++attempt) {
            throwIfCancelled(st);
            const std::optional<HubbleImage> candidate = co_await drawNextCandidate(st);
            if (!self)
                co_return;
            if (!candidate)
                throw HubbleAPIError::emptyCatalog();
            qCInfo(lcStore).noquote()
                << QStringLiteral("Verifying Hubble candidate %1 (attempt %2)").arg(candidate->id).arg(attempt);

            std::optional<QUrl> pendingFile;
            std::exception_ptr candidateError;
            try {
                const HubbleImage verified = co_await m_apiClient->verifyAndEnrichCandidate(*candidate, st);
                if (!self)
                    co_return;
                throwIfCancelled(st);
                const SavedWallpaper saved = co_await downloadAndValidate(verified, st);
                if (!self)
                    co_return;
                pendingFile = saved.fileURL;
                throwIfCancelled(st);

                if (m_recentContentHashes.contains(saved.contentHash)) {
                    qCInfo(lcStore).noquote()
                        << QStringLiteral("Skipping duplicate image content for %1").arg(candidate->id);
                    co_await removeAbandonedCacheFile(*pendingFile);
                    if (!self)
                        co_return;
                    pendingFile.reset();
                    recordShownImage(m_recentImageIDs, verified.id);
                    continue;
                }

                // Decoding for desktops we paint ourselves happens here, off the main thread. The
                // local copy keeps the applier alive across the wait.
                const std::shared_ptr<WallpaperApplying> applier = m_applier;
                co_await applier->prepareWallpaper(saved.fileURL, m_settings.displayScope, st);
                if (!self)
                    co_return;
                throwIfCancelled(st);
                co_await applier->applyWallpaper(saved.fileURL, m_settings.displayScope, st);
                if (!self)
                    co_return;

                pendingFile.reset();
                HubbleImage shown = verified;
                shown.width = saved.width;
                shown.height = saved.height;
                setCurrentImage(shown);
                setCurrentLocalFileURL(saved.fileURL);
                m_currentContentHash = saved.contentHash;
                recordShownImage(m_recentImageIDs, verified.id);
                recordShownImage(m_recentContentHashes, saved.contentHash);

                QSet<QUrl> keep = co_await applier->currentDesktopImageURLs();
                if (!self)
                    co_return;
                keep.insert(standardizedFileURL(saved.fileURL));
                const std::shared_ptr<const WallpaperCaching> cache = m_cache;
                auto prune = [cache, keep] { cache->pruneOldWallpapers(keep, StoreLimits::retainedCacheFiles); };
                spawn(runInBackground(std::move(prune)), QStringLiteral("prune"));

                rescheduleTimer(true);
                persistState();
                qCInfo(lcStore).noquote() << QStringLiteral("Applied wallpaper %1 (%2x%3)")
                                                 .arg(verified.id)
                                                 .arg(saved.width)
                                                 .arg(saved.height);
                succeeded = true;
            } catch (...) {
                candidateError = std::current_exception();
            }
            if (!self)
                co_return; // the store is gone: nothing of it may be touched
            if (!candidateError)
                continue;

            if (pendingFile) {
                co_await removeAbandonedCacheFile(*pendingFile);
                if (!self)
                    co_return;
            }
            if (isApplyError(candidateError))
                std::rethrow_exception(candidateError); // the desktop refused: no other candidate will fare better
            if (isCancellation(candidateError, st)) {
                qCInfo(lcStore) << "Wallpaper download cancelled; leaving current schedule intact";
                endFetch(fetchID);
                co_return;
            }
            qCCritical(lcStore).noquote()
                << QStringLiteral("Candidate %1 failed: %2").arg(candidate->id, describeError(candidateError));
            recordShownImage(m_recentImageIDs, candidate->id);
            lastCandidateError = candidateError;
        }
        if (!succeeded) {
            if (lastCandidateError)
                std::rethrow_exception(lastCandidateError);
            throw HubbleAPIError::emptyCatalog();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure)
        failFetch(failure, isAutomatic, st);
    endFetch(fetchID);
}

void WallpaperStore::failFetch(const std::exception_ptr &error, bool isAutomatic, const std::stop_token &st)
{
    if (isCancellation(error, st)) {
        qCInfo(lcStore) << "Wallpaper update cancelled; leaving current schedule intact";
        return;
    }
    const QString message = describeError(error);
    setErrorMessage(message);
    qCCritical(lcStore).noquote() << QStringLiteral("Failed to apply next wallpaper: %1").arg(message);
    const bool overdue = m_nextChangeDate && *m_nextChangeDate <= m_now();
    if (isAutomatic || overdue)
        scheduleRetryIfNeeded();
}

void WallpaperStore::endFetch(QUuid fetchID)
{
    // A fetch cancelled by stop() finds another id here (or none) and leaves the newer state alone.
    if (m_activeFetchID != fetchID)
        return;
    setLoading(false);
    m_activeFetchTask.reset();
    m_activeFetchID.reset();
    m_activeFetchIsAutomatic = false;
}

QCoro::Task<SavedWallpaper> WallpaperStore::downloadAndValidate(HubbleImage candidate, std::stop_token st)
{
    QPointer<WallpaperStore> self(this);
    std::exception_ptr firstError;
    try {
        SavedWallpaper saved = co_await fetchAndValidateFile(candidate.imageURL, candidate.id, st);
        co_return saved;
    } catch (...) {
        firstError = std::current_exception();
    }
    if (!self || isCancellation(firstError, st))
        std::rethrow_exception(firstError);
    if (!candidate.fallbackImageURL || *candidate.fallbackImageURL == candidate.imageURL)
        std::rethrow_exception(firstError);
    qCInfo(lcStore).noquote()
        << QStringLiteral("Primary download failed for %1; trying fallback wallpaper variant").arg(candidate.id);
    SavedWallpaper saved = co_await fetchAndValidateFile(*candidate.fallbackImageURL, candidate.id, st);
    co_return saved;
}

QCoro::Task<SavedWallpaper> WallpaperStore::fetchAndValidateFile(QUrl url, QString imageID, std::stop_token st)
{
    // Copies: the store may be gone by the time either await resumes.
    const std::shared_ptr<HubbleImageFetching> client = m_apiClient;
    const std::shared_ptr<const WallpaperCaching> cache = m_cache;
    const QUrl temporary = co_await client->downloadImageFile(url, st);
    // Not interrupted by cancellation: a save that has begun finishes, and the download is
    // always deleted, whatever the cache decided. (Named first: GCC 12 mishandles a capturing
    // lambda built inside the co_await expression.)
    auto save = [cache, temporary, imageID] {
        struct RemoveTemporary
        {
            QString path;
            ~RemoveTemporary() { QFile::remove(path); }
        } removeTemporary{temporary.toLocalFile()};
        return cache->saveValidatedImage(temporary, imageID);
    };
    SavedWallpaper saved = co_await runInBackground(std::move(save));
    co_return saved;
}

void WallpaperStore::recordShownImage(QStringList &list, const QString &value)
{
    list.removeAll(value);
    list.append(value);
    if (list.size() > StoreLimits::recentListBound)
        list.remove(0, list.size() - StoreLimits::recentListBound);
}

QCoro::Task<> WallpaperStore::removeAbandonedCacheFile(QUrl url)
{
    // Never pull a picture from under a display (another workspace may still show it).
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    const QSet<QUrl> shown = co_await applier->currentDesktopImageURLs();
    if (shown.contains(standardizedFileURL(url)))
        co_return;
    QFile::remove(url.toLocalFile());
}

void WallpaperStore::scheduleRetryIfNeeded()
{
    if (isAutoRotationActive()) {
        const double interval = ChangeFrequencies::interval(m_settings.frequency).value_or(StoreLimits::retryDelaySeconds);
        const double delay = std::min(interval, StoreLimits::retryDelaySeconds);
        scheduleTimer(m_now().addMSecs(qint64(delay * 1000)));
    } else {
        cancelSchedulerTask();
        setNextChangeDate(std::nullopt);
    }
    persistState();
}

} // namespace Starvane
