// SPDX-License-Identifier: GPL-3.0-or-later
// The pipeline's work on one picture: drawing candidates, verifying, downloading and saving them,
// skipping duplicates and applying; a picture shown again passes the same steps. Cache housekeeping too.
#include "fetchpipeline.h"

#include "async/cancellation.h"
#include "contracts/hubbleimagefetching.h"
#include "contracts/wallpaperapplying.h"
#include "contracts/wallpapercaching.h"
#include "logging.h"
#include "models/fileurls.h"

#include <QFile>
#include <QFileInfo>
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

/// Downloads one URL and saves it through the cache. The save is not interrupted by cancellation: one
/// that has begun finishes, and the download is deleted whatever the cache decided.
QCoro::Task<SavedWallpaper> fetchAndValidateFile(FetchPipeline::Services services, QUrl url, QString imageID,
                                                 std::stop_token st)
{
    const QUrl temporary = co_await services.archive->downloadImageFile(url, st);
    // Named first: GCC 12 mishandles a capturing lambda built inside the co_await expression.
    auto save = [cache = services.cache, temporary, imageID] {
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

/// The candidate's file, or its fallback variant when the first one fails for another reason than
/// cancellation; the fallback's error then counts.
QCoro::Task<SavedWallpaper> downloadAndValidate(FetchPipeline::Services services, HubbleImage candidate,
                                                std::stop_token st)
{
    std::exception_ptr firstError;
    try {
        SavedWallpaper saved = co_await fetchAndValidateFile(services, candidate.imageURL, candidate.id, st);
        co_return saved;
    } catch (...) {
        firstError = std::current_exception();
    }
    if (isCancellation(firstError, st) || !candidate.fallbackImageURL ||
        *candidate.fallbackImageURL == candidate.imageURL)
        std::rethrow_exception(firstError);
    qCInfo(lcStore).noquote()
        << QStringLiteral("Primary download failed for %1; trying fallback wallpaper variant").arg(candidate.id);
    SavedWallpaper saved = co_await fetchAndValidateFile(services, *candidate.fallbackImageURL, candidate.id, st);
    co_return saved;
}

} // namespace

QCoro::Task<> FetchPipeline::removeAbandonedCacheFile(std::shared_ptr<WallpaperApplying> applier, QUrl url)
{
    const QSet<QUrl> shown = co_await applier->currentDesktopImageURLs();
    if (!shown.contains(standardizedFileURL(url))) QFile::remove(url.toLocalFile());
}

QCoro::Task<> FetchPipeline::pruneCache(Services services, QList<QUrl> applied, QList<DisplayWallpaper> remembered,
                                        int maxRetained)
{
    QSet<QUrl> keep = co_await services.applier->currentDesktopImageURLs();
    for (const QUrl &file : std::as_const(applied))
        keep.insert(standardizedFileURL(file));
    // A display that is away keeps its picture for when it returns.
    for (const DisplayWallpaper &picture : std::as_const(remembered))
        keep.insert(standardizedFileURL(picture.file));
    auto prune = [cache = services.cache, keep, maxRetained] { cache->pruneOldWallpapers(keep, maxRetained); };
    co_await runInBackground(std::move(prune));
}

QCoro::Task<FetchPipeline::Outcome> FetchPipeline::attemptCandidates(std::optional<DisplayTarget> display,
                                                                     std::shared_ptr<Round> round, std::stop_token st)
{
    QPointer<FetchPipeline> self(this);
    // Copies: the frame keeps the services alive across every wait.
    const Services services = m_services;
    // Saving data: the smallest file that fills the display, or the largest display when one picture covers all.
    std::optional<QSize> cover = m_cover ? m_cover() : std::nullopt;
    if (cover && display) cover = display->devicePixelGeometry.size();
    Outcome outcome;
    try {
        std::exception_ptr lastCandidateError;
        for (int attempt = 1; attempt <= m_limits.maxAttempts && !outcome.applied; ++attempt) {
            throwIfCancelled(st);
            std::optional<HubbleImage> candidate;
            if (display) {
                QSet<QString> excluded = round->ids;
                if (m_displayPictures) excluded += m_displayPictures();
                candidate = co_await m_pool->drawCandidateForDisplay(display->aspectRatio(), excluded, m_shown(), st);
            } else {
                candidate = co_await m_pool->drawNextCandidate(m_shown(), st);
            }
            if (!self) co_return outcome;
            if (!candidate) throw HubbleAPIError::emptyCatalog();
            if (round) round->ids.insert(candidate->id);
            qCInfo(lcStore).noquote()
                << QStringLiteral("Verifying Hubble candidate %1 (attempt %2)").arg(candidate->id).arg(attempt);

            std::optional<QUrl> pendingFile;
            std::exception_ptr candidateError;
            try {
                HubbleImage verified;
                if (cover)
                    verified = co_await services.archive->verifyForDisplay(*candidate, *cover, st);
                else
                    verified = co_await services.archive->verifyAndEnrichCandidate(*candidate, st);
                throwIfCancelled(st);
                // The fallback variant has a landscape shape: a portrait picture for a portrait display
                // comes in its own shape or not at all.
                const bool portraitPicture = verified.width && verified.height && *verified.height > *verified.width;
                if (display && display->isPortrait() && portraitPicture) verified.fallbackImageURL.reset();
                const SavedWallpaper saved = co_await downloadAndValidate(services, verified, st);
                pendingFile = saved.fileURL;
                throwIfCancelled(st);
                if (!self) co_return outcome;
                // Portrait pictures belong on portrait displays only.
                if (saved.height > saved.width && !(display && display->isPortrait()))
                    throw WallpaperCacheError::unsuitableAspectRatio(saved.width, saved.height);

                if (m_pool->isUnwantedContent(saved.contentHash) ||
                    (round && round->hashes.contains(saved.contentHash))) {
                    qCInfo(lcStore).noquote()
                        << QStringLiteral("Skipping duplicate image content for %1").arg(candidate->id);
                    co_await removeAbandonedCacheFile(services.applier, *pendingFile);
                    if (!self) co_return outcome;
                    pendingFile.reset();
                    m_pool->rememberImage(verified.id);
                    continue;
                }

                HubbleImage shown = verified;
                shown.width = saved.width;
                shown.height = saved.height;
                if (display) {
                    // Applied together with the other displays' pictures by the caller.
                    round->hashes.insert(saved.contentHash);
                    outcome.applied = Applied{shown, saved.fileURL, saved.contentHash, std::nullopt};
                    continue;
                }

                // Decoding for desktops we paint ourselves happens here, off the main thread.
                co_await services.applier->prepareWallpaper(saved.fileURL, m_displayScope(), st);
                throwIfCancelled(st);
                if (!self) co_return outcome;
                co_await services.applier->applyWallpaper(saved.fileURL, m_displayScope(), st);
                if (!self) co_return outcome;

                // Everything about the change is recorded in this one turn.
                pendingFile.reset();
                m_pool->rememberImage(verified.id);
                m_pool->rememberContent(saved.contentHash);
                outcome.applied = Applied{shown, saved.fileURL, saved.contentHash, std::nullopt};
                Q_EMIT wallpaperApplied(*outcome.applied);
                qCInfo(lcStore).noquote() << QStringLiteral("Applied wallpaper %1 (%2x%3)")
                                                 .arg(verified.id)
                                                 .arg(saved.width)
                                                 .arg(saved.height);
                spawn(pruneCache(services, {saved.fileURL}, remembered(), m_limits.retainedCacheFiles),
                      QStringLiteral("prune"));
            } catch (...) {
                candidateError = std::current_exception();
            }
            if (!candidateError) continue;

            if (pendingFile) co_await removeAbandonedCacheFile(services.applier, *pendingFile);
            if (!self) co_return outcome; // the store is gone: nothing of it may be touched
            if (isApplyError(candidateError))
                std::rethrow_exception(candidateError); // the desktop refused: no other candidate will fare better
            if (isCancellation(candidateError, st)) {
                qCInfo(lcStore) << "Wallpaper download cancelled; leaving current schedule intact";
                outcome.cancelled = true;
                co_return outcome;
            }
            qCCritical(lcStore).noquote()
                << QStringLiteral("Candidate %1 failed: %2").arg(candidate->id, describeError(candidateError));
            m_pool->rememberImage(candidate->id);
            lastCandidateError = candidateError;
        }
        if (!outcome.applied) {
            if (lastCandidateError) std::rethrow_exception(lastCandidateError);
            throw HubbleAPIError::emptyCatalog();
        }
    } catch (...) {
        outcome.error = std::current_exception();
    }
    co_return outcome;
}

QCoro::Task<bool> FetchPipeline::performRevisit(Revisit target, std::stop_token st)
{
    QPointer<FetchPipeline> self(this);
    const Services services = m_services;
    const DisplayScope scope = m_displayScope();
    if (!target.file.isEmpty() && QFileInfo(target.file).isFile()) {
        const QUrl file = QUrl::fromLocalFile(target.file);
        co_await services.applier->prepareWallpaper(file, scope, st);
        throwIfCancelled(st);
        if (!self) co_return false;
        co_await services.applier->applyWallpaper(file, scope, st);
        if (!self) co_return false;
        qCInfo(lcStore).noquote() << QStringLiteral("Showing %1 again from %2").arg(target.image.id, target.file);
        Q_EMIT wallpaperApplied(Applied{target.image, file, target.contentHash, target});
        co_return true;
    }

    // A kept picture is shown from its own file or not at all: that rotation never uses the network.
    if (!target.historyIndex) throw FileError(QStringLiteral("The kept picture %1 is gone.").arg(target.file));
    // The file was pruned: the same picture again, through every check a new one passes.
    qCInfo(lcStore).noquote() << QStringLiteral("Fetching %1 again").arg(target.image.id);
    const HubbleImage verified = co_await services.archive->verifyAndEnrichCandidate(target.image, st);
    throwIfCancelled(st);
    const SavedWallpaper saved = co_await downloadAndValidate(services, verified, st);
    if (!self) co_return false;
    std::exception_ptr applyError;
    try {
        throwIfCancelled(st);
        co_await services.applier->prepareWallpaper(saved.fileURL, scope, st);
        throwIfCancelled(st);
        co_await services.applier->applyWallpaper(saved.fileURL, scope, st);
    } catch (...) {
        applyError = std::current_exception();
    }
    if (applyError) {
        co_await removeAbandonedCacheFile(services.applier, saved.fileURL);
        std::rethrow_exception(applyError);
    }
    if (!self) co_return false;
    HubbleImage shown = verified;
    shown.width = saved.width;
    shown.height = saved.height;
    target.file = saved.fileURL.toLocalFile();
    target.contentHash = saved.contentHash;
    Q_EMIT wallpaperApplied(Applied{shown, saved.fileURL, saved.contentHash, target});
    qCInfo(lcStore).noquote()
        << QStringLiteral("Applied wallpaper %1 again (%2x%3)").arg(verified.id).arg(saved.width).arg(saved.height);
    spawn(pruneCache(services, {saved.fileURL}, remembered(), m_limits.retainedCacheFiles), QStringLiteral("prune"));
    co_return true;
}

} // namespace Starvane
