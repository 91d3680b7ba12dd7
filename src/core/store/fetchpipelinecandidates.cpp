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

/// Downloads one URL and saves it through the cache, as the picture it is. The save is not interrupted
/// by cancellation: one that has begun finishes, and the download is deleted whatever the cache decided.
QCoro::Task<ShownPicture> fetchAndValidateFile(FetchPipeline::Services services, HubbleImage image, QUrl url,
                                               bool forPortraitDisplay, std::stop_token st)
{
    const QUrl temporary = co_await services.archive->downloadImageFile(url, st);
    // Named first: GCC 12 mishandles a capturing lambda built inside the co_await expression.
    auto save = [cache = services.cache, temporary, imageID = image.id, forPortraitDisplay] {
        struct RemoveTemporary
        {
            QString path;
            ~RemoveTemporary() { QFile::remove(path); }
        } removeTemporary{temporary.toLocalFile()};
        return cache->saveValidatedImage(temporary, imageID, forPortraitDisplay);
    };
    const SavedWallpaper saved = co_await runInBackground(std::move(save));
    image.width = saved.width;
    image.height = saved.height;
    co_return ShownPicture{image, saved.fileURL, saved.contentHash, url};
}

/// The candidate's file, or its fallback variant when the first one fails for another reason than
/// cancellation; the fallback's error then counts.
QCoro::Task<ShownPicture> downloadAndValidate(FetchPipeline::Services services, HubbleImage candidate,
                                              bool forPortraitDisplay, std::stop_token st)
{
    std::exception_ptr firstError;
    try {
        ShownPicture saved =
            co_await fetchAndValidateFile(services, candidate, candidate.imageURL, forPortraitDisplay, st);
        co_return saved;
    } catch (...) {
        firstError = std::current_exception();
    }
    if (isCancellation(firstError, st) || !candidate.fallbackImageURL ||
        *candidate.fallbackImageURL == candidate.imageURL)
        std::rethrow_exception(firstError);
    qCInfo(lcStore).noquote()
        << QStringLiteral("Primary download failed for %1; trying fallback wallpaper variant").arg(candidate.id);
    ShownPicture saved =
        co_await fetchAndValidateFile(services, candidate, *candidate.fallbackImageURL, forPortraitDisplay, st);
    co_return saved;
}

} // namespace

QCoro::Task<> FetchPipeline::removeAbandonedCacheFile(std::shared_ptr<WallpaperApplying> applier, QUrl url)
{
    const QSet<QUrl> shown = co_await applier->currentDesktopImageURLs();
    if (!shown.contains(standardizedFileURL(url))) QFile::remove(url.toLocalFile());
}

QCoro::Task<> FetchPipeline::pruneCache(Services services, QList<QUrl> keep, int maxRetained)
{
    QSet<QUrl> keeping = co_await services.applier->currentDesktopImageURLs();
    for (const QUrl &file : std::as_const(keep))
        keeping.insert(standardizedFileURL(file));
    auto prune = [cache = services.cache, keeping, maxRetained] { cache->pruneOldWallpapers(keeping, maxRetained); };
    co_await runInBackground(std::move(prune));
}

QCoro::Task<FetchPipeline::Outcome> FetchPipeline::attemptCandidates(std::optional<DisplayTarget> display,
                                                                     std::shared_ptr<Round> round,
                                                                     ChangeRequest request, std::stop_token st)
{
    QPointer<FetchPipeline> self(this);
    // Copies: the frame keeps the services alive across every wait.
    const Services services = m_services;
    // Saving data: the smallest file that fills the display, or the largest display when one picture covers all.
    std::optional<QSize> cover = m_cover ? m_cover() : std::nullopt;
    if (cover && display) cover = display->devicePixelGeometry.size();
    const bool forPortrait = display && display->isPortrait();
    const CatalogPool::Shown shown{request.current ? std::optional(request.current->id()) : std::nullopt,
                                   request.current ? std::optional(request.current->contentHash) : std::nullopt};
    Outcome outcome;
    try {
        std::exception_ptr lastCandidateError;
        for (int attempt = 1; attempt <= m_limits.maxAttempts && !outcome.picture; ++attempt) {
            throwIfCancelled(st);
            std::optional<HubbleImage> candidate;
            if (display) {
                QSet<QString> excluded = round->ids + request.avoidIDs;
                candidate = co_await m_pool->drawCandidateForDisplay(display->aspectRatio(), excluded, shown, st);
            } else {
                candidate = co_await m_pool->drawNextCandidate(shown, st);
                while (candidate && request.avoidIDs.contains(candidate->id))
                    candidate = co_await m_pool->drawNextCandidate(shown, st);
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
                if (forPortrait && portraitPicture) verified.fallbackImageURL.reset();
                const ShownPicture saved = co_await downloadAndValidate(services, verified, forPortrait, st);
                pendingFile = saved.file;
                throwIfCancelled(st);
                if (!self) co_return outcome;

                if (m_pool->isUnwantedContent(saved.contentHash) || request.avoidHashes.contains(saved.contentHash) ||
                    (round && round->hashes.contains(saved.contentHash))) {
                    qCInfo(lcStore).noquote()
                        << QStringLiteral("Skipping duplicate image content for %1").arg(candidate->id);
                    co_await removeAbandonedCacheFile(services.applier, *pendingFile);
                    if (!self) co_return outcome;
                    pendingFile.reset();
                    m_pool->recordShownImage(verified.id);
                    continue;
                }

                if (display) {
                    // Applied together with the other displays' pictures by the caller.
                    round->hashes.insert(saved.contentHash);
                    outcome.picture = saved;
                    continue;
                }

                // Decoding for desktops we paint ourselves happens here, off the main thread, and so does
                // dressing the picture.
                dress(request, {saved});
                co_await services.applier->prepareWallpaper(saved.file, request.scope, st);
                throwIfCancelled(st);
                if (!self) co_return outcome;
                co_await services.applier->applyWallpaper(saved.file, request.scope, st);
                if (!self) co_return outcome;
                pendingFile.reset();
                outcome.picture = saved;
                qCInfo(lcStore).noquote() << QStringLiteral("Applied wallpaper %1 (%2x%3)")
                                                 .arg(verified.id)
                                                 .arg(saved.image.width.value_or(0))
                                                 .arg(saved.image.height.value_or(0));
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
            m_pool->recordShownImage(candidate->id);
            lastCandidateError = candidateError;
        }
        if (!outcome.picture) {
            if (lastCandidateError) std::rethrow_exception(lastCandidateError);
            throw HubbleAPIError::emptyCatalog();
        }
    } catch (...) {
        outcome.error = std::current_exception();
    }
    co_return outcome;
}

QCoro::Task<ShownPicture> FetchPipeline::ensureFile(PlacedPicture target, ChangeKind kind, std::stop_token st)
{
    if (target.picture.fileExists()) co_return target.picture;
    // A kept picture is shown from its own file or not at all: that rotation never uses the network. The
    // picture on screen put back elsewhere is refused by the desktop, which names the file.
    if (kind == ChangeKind::keptPicture)
        throw ChangeFailure(ChangeError::of(ChangeError::Kind::keptPictureGone, target.picture.file.toLocalFile()));
    if (kind != ChangeKind::previous && kind != ChangeKind::historyEntry) co_return target.picture;

    // The file was pruned: the same picture again, through every check a new one passes, and in the
    // variant that was shown first when the archive still offers it from its own host.
    const Services services = m_services;
    qCInfo(lcStore).noquote() << QStringLiteral("Fetching %1 again").arg(target.picture.id());
    HubbleImage verified = co_await services.archive->verifyAndEnrichCandidate(target.picture.image, st);
    throwIfCancelled(st);
    const QUrl variant = target.picture.variantURL;
    const bool sameHost = variant.isValid() && variant.scheme() == verified.imageURL.scheme() &&
                          variant.host() == verified.imageURL.host() && variant.port() == verified.imageURL.port();
    if (sameHost && variant != verified.imageURL) {
        verified.fallbackImageURL = verified.imageURL;
        verified.imageURL = variant;
    }
    const bool forPortrait = target.display.isPortrait();
    ShownPicture saved = co_await downloadAndValidate(services, verified, forPortrait, st);
    qCInfo(lcStore).noquote() << QStringLiteral("Fetched %1 again (%2x%3)")
                                     .arg(verified.id)
                                     .arg(saved.image.width.value_or(0))
                                     .arg(saved.image.height.value_or(0));
    co_return saved;
}

} // namespace Starvane
