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

QCoro::Task<> pruneCache(FetchPipeline::Services services, QList<QUrl> applied, QList<DisplayWallpaper> remembered,
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

bool FetchPipeline::start(bool isAutomatic, std::optional<Revisit> revisit, QStringList displayKeys)
{
    if (m_isLoading || m_active) return false;
    const QUuid fetchID = QUuid::createUuid();
    m_active = ActiveFetch{fetchID,         isAutomatic, displayKeys, std::stop_source(), std::make_shared<Completion>(),
                           std::move(revisit)};
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
    if (std::optional<Revisit> revisit = m_active->revisit) {
        QPointer<FetchPipeline> self(this);
        setLoading(true);
        Q_EMIT fetchStarted();
        std::exception_ptr failure;
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
    if (m_displayScope() == DisplayScope::eachDisplay) {
        co_await performEachFetch(fetchID, isAutomatic, m_active->displayKeys, st);
        co_return;
    }
    QPointer<FetchPipeline> self(this);
    setLoading(true);
    Q_EMIT fetchStarted();
    const Outcome outcome = co_await attemptCandidates(std::nullopt, nullptr, st);
    if (!self) co_return;
    if (outcome.error) failFetch(outcome.error, isAutomatic, st);
    endFetch(fetchID);
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

QCoro::Task<> FetchPipeline::performEachFetch(QUuid fetchID, bool isAutomatic, QStringList displayKeys,
                                              std::stop_token st)
{
    QPointer<FetchPipeline> self(this);
    const Services services = m_services;
    setLoading(true);
    Q_EMIT fetchStarted();

    QList<DisplayTarget> displays = services.applier->displayTargets();
    if (!displayKeys.isEmpty()) displays.removeIf([&](const DisplayTarget &d) { return !displayKeys.contains(d.key); });
    std::vector<Outcome> outcomes(size_t(displays.size()));
    const auto round = std::make_shared<Round>();
    // A few displays at a time: each is a download of its own, and the link is shared.
    for (qsizetype first = 0; first < displays.size(); first += parallelDisplayFetches) {
        std::vector<QCoro::Task<Outcome>> running;
        for (qsizetype i = first; i < std::min<qsizetype>(first + parallelDisplayFetches, displays.size()); ++i)
            running.push_back(attemptCandidates(displays[i], round, st));
        for (size_t j = 0; j < running.size(); ++j) {
            Outcome outcome = co_await running[j];
            outcomes[size_t(first) + j] = std::move(outcome);
        }
        if (!self) co_return;
    }

    std::exception_ptr failure;
    bool cancelled = displays.isEmpty() ? false : st.stop_requested();
    QList<DisplayWallpaper> pictures;
    QList<DisplayApplied> applied;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        cancelled = cancelled || outcomes[i].cancelled;
        if (outcomes[i].error && !failure) failure = outcomes[i].error;
        if (!outcomes[i].applied) continue;
        pictures.append({displays[qsizetype(i)].key, outcomes[i].applied->file});
        applied.append({displays[qsizetype(i)], *outcomes[i].applied});
    }
    if (displays.isEmpty()) failure = std::make_exception_ptr(WallpaperApplyError::noDisplaysFound());

    if (!cancelled && !pictures.isEmpty()) {
        // A desktop with one picture is given all of them again: the combined picture is made anew.
        QList<DisplayWallpaper> shown = pictures;
        if (!services.applier->supportsPerDisplayWallpaper()) {
            const QList<DisplayWallpaper> others = remembered();
            for (const DisplayWallpaper &other : others) {
                const bool replaced = std::any_of(pictures.cbegin(), pictures.cend(), [&](const DisplayWallpaper &p) {
                    return p.displayKey == other.displayKey;
                });
                if (!replaced) shown.append(other);
            }
        }
        try {
            co_await services.applier->applyDisplayWallpapers(shown, st);
        } catch (...) {
            failure = std::current_exception();
            applied.clear();
        }
        if (!self) co_return;
    }
    if (cancelled || applied.isEmpty()) {
        // Nothing reached the screen: none of the new files is needed.
        for (const DisplayWallpaper &picture : std::as_const(pictures))
            co_await removeAbandonedCacheFile(services.applier, picture.file);
        if (!self) co_return;
    } else {
        QList<QUrl> files;
        for (const DisplayApplied &each : std::as_const(applied)) {
            m_pool->rememberImage(each.applied.image.id);
            m_pool->rememberContent(each.applied.contentHash);
            files << each.applied.file;
            qCInfo(lcStore).noquote() << QStringLiteral("Applied wallpaper %1 (%2x%3) on %4")
                                             .arg(each.applied.image.id)
                                             .arg(each.applied.image.width.value_or(0))
                                             .arg(each.applied.image.height.value_or(0))
                                             .arg(each.display.name);
        }
        Q_EMIT displaysApplied(applied);
        spawn(pruneCache(services, files, remembered(), m_limits.retainedCacheFiles), QStringLiteral("prune"));
    }
    if (cancelled)
        qCInfo(lcStore) << "Wallpaper update cancelled; leaving current schedule intact";
    else if (failure)
        failFetch(failure, isAutomatic, st);
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
    spawn(pruneCache(services, {saved.fileURL}, remembered(), m_limits.retainedCacheFiles),
          QStringLiteral("prune"));
    co_return true;
}

QList<DisplayWallpaper> FetchPipeline::remembered() const
{
    return m_remembered ? m_remembered() : QList<DisplayWallpaper>();
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
