// SPDX-License-Identifier: GPL-3.0-or-later
#include "fetchpipeline.h"

#include "async/cancellation.h"
#include "contracts/hubbleimagefetching.h"
#include "contracts/wallpaperapplying.h"
#include "contracts/wallpapercaching.h"
#include "logging.h"
#include "models/fileurls.h"

#include <QCoreApplication>
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

/// Deletes a saved file that will not be used, unless a display (maybe on another workspace) shows it.
QCoro::Task<> removeAbandonedCacheFile(std::shared_ptr<WallpaperApplying> applier, QUrl url)
{
    const QSet<QUrl> shown = co_await applier->currentDesktopImageURLs();
    if (!shown.contains(standardizedFileURL(url))) QFile::remove(url.toLocalFile());
}

QCoro::Task<> pruneCache(FetchPipeline::Services services, QUrl applied, int maxRetained)
{
    QSet<QUrl> keep = co_await services.applier->currentDesktopImageURLs();
    keep.insert(standardizedFileURL(applied));
    auto prune = [cache = services.cache, keep, maxRetained] { cache->pruneOldWallpapers(keep, maxRetained); };
    co_await runInBackground(std::move(prune));
}

} // namespace

FetchPipeline::FetchPipeline(Services services, CatalogPool *pool, std::function<DisplayScope()> displayScope,
                             std::function<CatalogPool::Shown()> shown, StoreLimits limits, QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_pool(pool), m_displayScope(std::move(displayScope)),
      m_shown(std::move(shown)), m_limits(limits)
{
}

FetchPipeline::~FetchPipeline()
{
    if (!m_active) return;
    m_active->stop.request_stop();
    // A fetch still pending never runs now; whoever waits for it must not wait forever.
    complete(m_active->completion);
}

bool FetchPipeline::start(bool isAutomatic, std::optional<Revisit> revisit)
{
    if (m_isLoading || m_active) return false;
    const QUuid fetchID = QUuid::createUuid();
    m_active =
        ActiveFetch{fetchID, isAutomatic, std::stop_source(), std::make_shared<Completion>(), std::move(revisit)};
    const std::stop_token st = m_active->stop.get_token();
    const std::shared_ptr<Completion> done = m_active->completion;
    // Pending until the event loop runs it; a cancel before then leaves it nothing to do.
    QMetaObject::invokeMethod(
        this,
        [this, fetchID, isAutomatic, st, done] {
            spawn(runFetch(fetchID, isAutomatic, st, done), QStringLiteral("fetch"));
        },
        Qt::QueuedConnection);
    return true;
}

FetchPipeline::Ending FetchPipeline::activeFetchEnding() const
{
    return Ending(m_active ? m_active->completion : nullptr);
}

void FetchPipeline::cancel()
{
    if (m_active) {
        std::stop_source stop = m_active->stop;
        m_active.reset();
        stop.request_stop();
    }
    setLoading(false);
}

void FetchPipeline::cancelIfAutomatic()
{
    if (m_active && m_active->isAutomatic) cancel();
}

void FetchPipeline::complete(const std::shared_ptr<Completion> &done)
{
    if (done->ended) return;
    done->ended = true;
    // Resumed from the event loop, never inside the ending fetch's own frame.
    for (std::coroutine_handle<> waiter : std::exchange(done->waiters, {}))
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiter] { waiter.resume(); }, Qt::QueuedConnection);
}

QCoro::Task<> FetchPipeline::runFetch(QUuid fetchID, bool isAutomatic, std::stop_token st,
                                      std::shared_ptr<Completion> done)
{
    QPointer<FetchPipeline> self(this);
    co_await performFetch(fetchID, isAutomatic, st);
    complete(done);
    if (self) Q_EMIT fetchEnded();
}

QCoro::Task<> FetchPipeline::performFetch(QUuid fetchID, bool isAutomatic, std::stop_token st)
{
    // Cancelled or replaced while pending: nothing to do.
    if (!m_active || m_active->id != fetchID || m_isLoading) co_return;
    QPointer<FetchPipeline> self(this);
    // Copies: the frame keeps the services alive across every wait.
    const Services services = m_services;
    const std::optional<QSize> cover = m_cover ? m_cover() : std::nullopt;
    setLoading(true);
    Q_EMIT fetchStarted();

    std::exception_ptr failure;
    if (std::optional<Revisit> revisit = m_active->revisit) {
        try {
            const bool alive = co_await performRevisit(std::move(*revisit), st);
            if (!alive) co_return;
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self) co_return;
        if (failure) failFetch(failure, isAutomatic, st);
        endFetch(fetchID);
        co_return;
    }
    try {
        std::exception_ptr lastCandidateError;
        bool succeeded = false;
        for (int attempt = 1; attempt <= m_limits.maxAttempts && !succeeded; ++attempt) {
            throwIfCancelled(st);
            const std::optional<HubbleImage> candidate = co_await m_pool->drawNextCandidate(m_shown(), st);
            if (!self) co_return;
            if (!candidate) throw HubbleAPIError::emptyCatalog();
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
                const SavedWallpaper saved = co_await downloadAndValidate(services, verified, st);
                pendingFile = saved.fileURL;
                throwIfCancelled(st);
                if (!self) co_return;

                if (m_pool->isUnwantedContent(saved.contentHash)) {
                    qCInfo(lcStore).noquote()
                        << QStringLiteral("Skipping duplicate image content for %1").arg(candidate->id);
                    co_await removeAbandonedCacheFile(services.applier, *pendingFile);
                    if (!self) co_return;
                    pendingFile.reset();
                    m_pool->rememberImage(verified.id);
                    continue;
                }

                // Decoding for desktops we paint ourselves happens here, off the main thread.
                co_await services.applier->prepareWallpaper(saved.fileURL, m_displayScope(), st);
                throwIfCancelled(st);
                if (!self) co_return;
                co_await services.applier->applyWallpaper(saved.fileURL, m_displayScope(), st);
                if (!self) co_return;

                // Everything about the change is recorded in this one turn.
                pendingFile.reset();
                HubbleImage shown = verified;
                shown.width = saved.width;
                shown.height = saved.height;
                m_pool->rememberImage(verified.id);
                m_pool->rememberContent(saved.contentHash);
                Q_EMIT wallpaperApplied(Applied{shown, saved.fileURL, saved.contentHash, std::nullopt});
                qCInfo(lcStore).noquote() << QStringLiteral("Applied wallpaper %1 (%2x%3)")
                                                 .arg(verified.id)
                                                 .arg(saved.width)
                                                 .arg(saved.height);
                spawn(pruneCache(services, saved.fileURL, m_limits.retainedCacheFiles), QStringLiteral("prune"));
                succeeded = true;
            } catch (...) {
                candidateError = std::current_exception();
            }
            if (!candidateError) continue;

            if (pendingFile) co_await removeAbandonedCacheFile(services.applier, *pendingFile);
            if (!self) co_return; // the store is gone: nothing of it may be touched
            if (isApplyError(candidateError))
                std::rethrow_exception(candidateError); // the desktop refused: no other candidate will fare better
            if (isCancellation(candidateError, st)) {
                qCInfo(lcStore) << "Wallpaper download cancelled; leaving current schedule intact";
                endFetch(fetchID);
                co_return;
            }
            qCCritical(lcStore).noquote()
                << QStringLiteral("Candidate %1 failed: %2").arg(candidate->id, describeError(candidateError));
            m_pool->rememberImage(candidate->id);
            lastCandidateError = candidateError;
        }
        if (!succeeded) {
            if (lastCandidateError) std::rethrow_exception(lastCandidateError);
            throw HubbleAPIError::emptyCatalog();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;
    if (failure) failFetch(failure, isAutomatic, st);
    endFetch(fetchID);
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
    spawn(pruneCache(services, saved.fileURL, m_limits.retainedCacheFiles), QStringLiteral("prune"));
    co_return true;
}

void FetchPipeline::failFetch(const std::exception_ptr &error, bool isAutomatic, const std::stop_token &st)
{
    if (isCancellation(error, st)) {
        qCInfo(lcStore) << "Wallpaper update cancelled; leaving current schedule intact";
        return;
    }
    const QString message = describeError(error);
    qCCritical(lcStore).noquote() << QStringLiteral("Failed to apply next wallpaper: %1").arg(message);
    Q_EMIT fetchFailed(error, isAutomatic);
}

void FetchPipeline::endFetch(QUuid fetchID)
{
    // A cancelled fetch finds another id here (or none) and leaves the newer fetch's state alone.
    if (!m_active || m_active->id != fetchID) return;
    m_active.reset();
    setLoading(false);
}

void FetchPipeline::setLoading(bool value)
{
    if (m_isLoading == value) return;
    m_isLoading = value;
    Q_EMIT isLoadingChanged();
}

} // namespace Starvane
