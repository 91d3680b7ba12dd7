// SPDX-License-Identifier: GPL-3.0-or-later
// The road itself: one change at a time, started from the event loop, cancelled, awaited, committed.
#include "changecoordinator.h"

#include "async/cancellation.h"
#include "catalogpool.h"
#include "contracts/networkstatus.h"
#include "contracts/wallpaperapplying.h"
#include "keyvaluestore.h"
#include "logging.h"
#include "picturelibrary.h"
#include "rotationschedule.h"
#include "screenstate.h"
#include "storekeys.h"
#include "storesettings.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace Starvane {

ChangeCoordinator::ChangeCoordinator(Parts parts, StoreLimits limits, std::chrono::milliseconds networkSettleDelay,
                                     QObject *parent)
    : QObject(parent), m_parts(std::move(parts)), m_limits(limits), m_networkSettle(new QTimer(this))
{
    m_networkSettle->setSingleShot(true);
    m_networkSettle->setInterval(networkSettleDelay);
    connect(m_networkSettle, &QTimer::timeout, this, &ChangeCoordinator::resumeAfterNetworkReturned);
    m_wasOnline = m_parts.network->isOnline();
    m_downloadsWereHeld = downloadsHeldBack();
    connect(m_parts.network.get(), &NetworkStatus::changed, this, &ChangeCoordinator::networkChanged);
    connect(m_parts.settings, &StoreSettings::changed, this, &ChangeCoordinator::updateHold);
    // A change the schedule started for the other kind of picture is moot now.
    connect(m_parts.settings, &StoreSettings::onlyKeptPicturesChanged, this,
            &ChangeCoordinator::cancelAutomaticFetchIfRunning);
    // Allowed now: a change that waited for an unmetered connection need not wait any longer.
    connect(m_parts.settings, &StoreSettings::downloadOnMeteredChanged, this, &ChangeCoordinator::networkChanged);
    // What is on screen changes its look at once.
    connect(m_parts.settings, &StoreSettings::showCaptionChanged, this, [this] { putBack(ChangeKind::restyle); });
    connect(m_parts.settings, &StoreSettings::dimInDarkStyleChanged, this, [this] {
        // Only a desktop in the dark style, or one that keeps a picture for it, shows the difference.
        if (m_darkStyle || m_parts.services.applier->showsDarkStyleItself()) putBack(ChangeKind::restyle);
    });
}

ChangeCoordinator::~ChangeCoordinator()
{
    if (!m_running) return;
    m_running->stop.request_stop();
    // A change still pending never runs now; whoever waits for it must not wait forever.
    complete(m_running->completion);
}

bool ChangeCoordinator::isActive() const
{
    return m_running && m_running->request.changesPicture();
}

bool ChangeCoordinator::isRetryScheduled() const
{
    return m_waiting == Waiting::retry && m_parts.schedule->isWaiting();
}

ChangeCoordinator::Ending ChangeCoordinator::activeChangeEnding() const
{
    return Ending(m_running ? m_running->completion : nullptr);
}

bool ChangeCoordinator::start(ChangeRequest request)
{
    if (m_running) {
        // A second picture change is dropped; putting back what is on screen gives way to one.
        if (m_running->request.changesPicture() || !request.changesPicture()) return false;
        cancel();
    }
    const QUuid id = QUuid::createUuid();
    m_running = Running{id, std::move(request), std::stop_source(), std::make_shared<Completion>()};
    const std::stop_token st = m_running->stop.get_token();
    const std::shared_ptr<Completion> done = m_running->completion;
    // Pending until the event loop runs it; a cancel before then leaves it nothing to do.
    QMetaObject::invokeMethod(
        this, [this, id, st, done] { spawn(run(id, st, done), QStringLiteral("change")); }, Qt::QueuedConnection);
    return true;
}

QCoro::Task<> ChangeCoordinator::run(QUuid id, std::stop_token st, std::shared_ptr<Completion> done)
{
    QPointer<ChangeCoordinator> self(this);
    if (!m_running || m_running->id != id) {
        // Cancelled while pending: it ends without having begun.
        complete(done);
        Q_EMIT changeEnded();
        co_return;
    }
    ChangeRequest request = m_running->request;
    // Made when it was asked for: a newer picture committed since makes putting back the old one stale.
    if (!request.changesPicture() && request.generation != m_parts.screen->generation()) {
        complete(done);
        finish(id);
        co_return;
    }
    const bool visible = request.changesPicture() || request.fetchesNewPictures();
    if (visible) {
        setLoading(true);
        if (request.changesPicture()) setError(std::nullopt);
    }
    FetchPipeline *pipeline = m_parts.pipeline;
    const ChangeResult result = co_await pipeline->run(request, st);
    complete(done);
    if (!self) co_return;
    // Once on screen a picture is committed even when its change was cancelled meanwhile, unless a newer
    // change has committed since.
    const bool current = m_running && m_running->id == id;
    if (current || (!result.shown.isEmpty() && request.generation == m_parts.screen->generation()))
        commit(request, result);
    if (current) finish(id);
    if (request.changesPicture() || request.fetchesNewPictures()) Q_EMIT changeEnded();
}

void ChangeCoordinator::finish(QUuid id)
{
    if (!m_running || m_running->id != id) return;
    m_running.reset();
    setLoading(false);
    startFollowUps();
    updateHold();
}

void ChangeCoordinator::putBack(ChangeKind kind)
{
    if (!m_followUps.contains(kind)) m_followUps.append(kind);
    startFollowUps();
}

void ChangeCoordinator::startFollowUps()
{
    while (!m_running && !m_followUps.isEmpty()) {
        const ChangeKind kind = m_followUps.takeFirst();
        if (const std::optional<ChangeRequest> request = putBackRequest(kind)) start(*request);
    }
}

void ChangeCoordinator::cancel()
{
    if (m_running) {
        std::stop_source stop = m_running->stop;
        m_running.reset();
        stop.request_stop();
    }
    setLoading(false);
}

void ChangeCoordinator::cancelAutomaticFetchIfRunning()
{
    if (m_running && m_running->request.isAutomatic) cancel();
}

void ChangeCoordinator::stop()
{
    m_followUps.clear();
    cancel();
    m_networkSettle->stop();
    m_waiting = Waiting::nothing;
}

void ChangeCoordinator::complete(const std::shared_ptr<Completion> &done)
{
    if (done->ended) return;
    done->ended = true;
    // Resumed from the event loop, never inside the ending change's own frame.
    for (std::coroutine_handle<> waiter : std::exchange(done->waiters, {}))
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiter] { waiter.resume(); }, Qt::QueuedConnection);
}

void ChangeCoordinator::setLoading(bool value)
{
    if (m_isLoading == value) return;
    m_isLoading = value;
    Q_EMIT isLoadingChanged();
}

void ChangeCoordinator::setError(std::optional<ChangeError> error)
{
    if (m_error == error) return;
    m_error = std::move(error);
    Q_EMIT errorChanged();
}

void ChangeCoordinator::persistState() const
{
    m_parts.settings->persist();
    m_parts.screen->persist();
    if (const auto &next = m_parts.schedule->nextChangeDate())
        m_parts.defaults->setDate(StoreKeys::nextChangeDate, *next);
    else
        m_parts.defaults->remove(StoreKeys::nextChangeDate);
    m_parts.pool->persist();
}

void ChangeCoordinator::commit(const ChangeRequest &request, const ChangeResult &result)
{
    if (result.shown.isEmpty()) {
        if (result.error) {
            reportFailure(request, *result.error);
        } else if (result.cancelled && request.changesPicture()) {
            qCInfo(lcStore) << "Wallpaper update cancelled; leaving current schedule intact";
        } else if (request.kind == ChangeKind::scopeReapply && !result.cancelled) {
            setError(std::nullopt);
        }
        return;
    }
    if (request.kind == ChangeKind::lockScreen) return;
    if (request.kind == ChangeKind::scopeReapply || request.kind == ChangeKind::workspaceSync ||
        request.kind == ChangeKind::restyle || (request.kind == ChangeKind::displaysAppeared && !result.newPictures)) {
        // The same pictures again: what is on screen did not change.
        if (request.kind == ChangeKind::scopeReapply || request.kind == ChangeKind::restyle) setError(result.error);
        if (!result.newPictures) return;
    }

    const bool perDisplay = !result.shown.first().display.key.isEmpty();
    QList<std::pair<DisplayTarget, ShownPicture>> changed;
    for (const PlacedPicture &placed : result.shown) {
        const QString key = perDisplay ? placed.display.key : QString();
        if (result.newPictures) {
            m_parts.pool->recordShownImage(placed.picture.id());
            m_parts.pool->recordShownContent(placed.picture.contentHash);
        }
        if (placed.historyIndex)
            m_parts.library->showedAgain(*placed.historyIndex, key, placed.picture);
        else
            m_parts.library->record(placed.picture, key);
        changed.append({placed.display, placed.picture});
    }
    if (request.kind == ChangeKind::savedPicture) {
        qCInfo(lcStore).noquote()
            << QStringLiteral("Metered connection; showing saved wallpaper %1").arg(result.shown.first().picture.id());
        m_nothingSavedToShow = false;
    }
    if (perDisplay) {
        const QList<DisplayTarget> displays = connectedDisplays();
        m_parts.screen->showOnDisplays(changed, displays.isEmpty() ? QString() : displays.first().key,
                                       QDateTime::currentDateTimeUtc());
    } else {
        m_parts.screen->showEverywhere(result.shown.first().picture);
    }
    m_parts.schedule->restartInterval(m_parts.settings->values());
    m_automaticFailuresInARow = 0;
    if (m_waiting == Waiting::retry) m_waiting = Waiting::nothing;
    // Some displays may have failed while others changed: that is still worth telling.
    setError(result.error);
    persistState();

    // Pruning spares what is on screen, what displays that are away will want back, and the new files.
    QList<QUrl> keep;
    for (const PlacedPicture &placed : result.shown)
        keep << placed.picture.file;
    for (const DisplayRecord &record : m_parts.screen->displays())
        keep << record.picture.file;
    if (const auto &current = m_parts.screen->current()) keep << current->file;
    spawn(FetchPipeline::pruneCache(m_parts.services, keep, m_limits.retainedCacheFiles), QStringLiteral("prune"));

    if (m_parts.settings->lockScreen()) putBack(ChangeKind::lockScreen);
}

void ChangeCoordinator::reportFailure(const ChangeRequest &request, const ChangeError &error)
{
    switch (request.kind) {
    case ChangeKind::workspaceSync:
        return; // the next workspace switch or change tries again; nothing to tell
    case ChangeKind::scopeReapply:
        setError(error);
        qCCritical(lcStore).noquote()
            << QStringLiteral("Failed to re-apply wallpaper for new display scope: %1").arg(error.description());
        return;
    case ChangeKind::displaysAppeared:
        setError(error);
        qCCritical(lcStore).noquote()
            << QStringLiteral("Failed to show the displays' own pictures: %1").arg(error.description());
        return;
    case ChangeKind::restyle:
        setError(error);
        qCCritical(lcStore).noquote()
            << QStringLiteral("Failed to show the wallpaper in its new style: %1").arg(error.description());
        return;
    case ChangeKind::lockScreen:
        setError(error);
        qCCritical(lcStore).noquote()
            << QStringLiteral("Failed to set the lock screen picture: %1").arg(error.description());
        return;
    default:
        break;
    }
    qCCritical(lcStore).noquote() << QStringLiteral("Failed to apply next wallpaper: %1").arg(error.description());
    const bool automatic = request.isAutomatic;
    if (!m_parts.network->isOnline()) {
        // The connection went away during the change: waiting for it replaces the retry, and only the
        // person who asked is told.
        if (m_waiting != Waiting::requestedChange)
            m_waiting = automatic ? Waiting::automaticChange : Waiting::requestedChange;
        if (!automatic) setError(error);
        updateHold();
        return;
    }
    const bool retried = m_parts.schedule->scheduleRetryIfNeeded(m_parts.settings->values(), automatic);
    m_waiting = retried && m_parts.schedule->isWaiting() ? Waiting::retry : Waiting::nothing;
    setError(error);
    if (retried) persistState();
    if (automatic) Q_EMIT automaticChangeFailed(++m_automaticFailuresInARow, error.localizedDescription());
}

} // namespace Starvane
