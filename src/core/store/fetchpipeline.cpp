// SPDX-License-Identifier: GPL-3.0-or-later
// The life of a fetch: started from the event loop, cancelled, awaited and ended; one picture for the
// scope's displays, or in "each display" mode one for every display, applied together.
#include "fetchpipeline.h"

#include "async/cancellation.h"
#include "contracts/wallpaperapplying.h"
#include "logging.h"

#include <QCoreApplication>
#include <QPointer>

namespace Starvane {

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
