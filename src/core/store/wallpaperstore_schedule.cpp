// SPDX-License-Identifier: GPL-3.0-or-later
// When the store changes the wallpaper by itself, and how it follows the user's settings,
// system wake and workspace switches.
#include "wallpaperstore.h"

#include "async/cancellation.h"
#include "logging.h"
#include "models/fileurls.h"
#include "contracts/wallpaperapplying.h"

#include <QPointer>

namespace Starvane {

void WallpaperStore::start()
{
    if (m_hasStarted)
        return;
    m_hasStarted = true;
    qCInfo(lcStore).noquote() << QStringLiteral("Starting WallpaperStore (frequency=%1, paused=%2)")
                                     .arg(ChangeFrequencies::rawValue(m_settings.frequency))
                                     .arg(m_settings.isPaused ? QStringLiteral("true") : QStringLiteral("false"));
    if (!isAutoRotationActive()) {
        setNextChangeDate(std::nullopt);
        persistState();
        return;
    }
    if (!m_currentImage || !m_currentLocalFileURL) {
        startFetch(true);
        return;
    }
    if (m_nextChangeDate && *m_nextChangeDate <= m_now()) {
        startFetch(true);
        return;
    }
    rescheduleTimer(!m_nextChangeDate.has_value());
}

void WallpaperStore::stop()
{
    cancelSchedulerTask();
    cancelActiveFetch();
}

void WallpaperStore::cancelSchedulerTask()
{
    if (!m_schedulerTask)
        return;
    std::stop_source task = std::move(*m_schedulerTask);
    m_schedulerTask.reset();
    task.request_stop();
}

void WallpaperStore::cancelActiveFetch()
{
    if (m_activeFetchTask) {
        std::stop_source task = std::move(*m_activeFetchTask);
        m_activeFetchTask.reset();
        task.request_stop();
    }
    m_activeFetchID.reset();
    m_activeFetchIsAutomatic = false;
    setLoading(false);
}

void WallpaperStore::cancelAutomaticFetchIfRunning()
{
    // A fetch the user asked for is never cancelled by a settings change.
    if (m_activeFetchIsAutomatic)
        cancelActiveFetch();
}

void WallpaperStore::rescheduleTimer(bool resetInterval)
{
    if (!isAutoRotationActive()) {
        cancelSchedulerTask();
        setNextChangeDate(std::nullopt);
        return;
    }
    const double interval = *ChangeFrequencies::interval(m_settings.frequency);
    const QDateTime fromNow = m_now().addMSecs(qint64(interval * 1000));
    scheduleTimer(resetInterval ? fromNow : m_nextChangeDate.value_or(fromNow));
}

void WallpaperStore::scheduleTimer(const QDateTime &date)
{
    cancelSchedulerTask();
    setNextChangeDate(date);
    const QDateTime now = m_now();
    qint64 delayMs = (now.isValid() && date.isValid()) ? now.msecsTo(date) : 0;
    delayMs = std::max<qint64>(delayMs, 1000);
    m_schedulerTask.emplace();
    spawn(runTimer(std::chrono::milliseconds(delayMs), m_schedulerTask->get_token()), QStringLiteral("timer"));
}

QCoro::Task<> WallpaperStore::runTimer(std::chrono::milliseconds delay, std::stop_token st)
{
    QPointer<WallpaperStore> self(this);
    const Sleeper sleep = m_sleep;
    try {
        co_await sleep(delay, st);
    } catch (const CancelledError &) {
        co_return;
    }
    if (!self || st.stop_requested())
        co_return;
    startFetch(true);
}

void WallpaperStore::updateFrequency(ChangeFrequency frequency)
{
    if (m_settings.frequency == frequency)
        return;
    AppSettings next = m_settings;
    next.frequency = frequency;
    // Choosing a frequency is a request for rotation, so it also resumes.
    if (frequency != ChangeFrequency::manual && next.isPaused)
        next.isPaused = false;
    setSettings(next);
    qCInfo(lcStore).noquote() << QStringLiteral("Updated change frequency to %1").arg(ChangeFrequencies::rawValue(frequency));
    cancelAutomaticFetchIfRunning();
    rescheduleTimer(true);
    persistState();
}

void WallpaperStore::updateDisplayScope(DisplayScope scope)
{
    if (m_settings.displayScope == scope)
        return;
    AppSettings next = m_settings;
    next.displayScope = scope;
    setSettings(next);
    qCInfo(lcStore).noquote() << QStringLiteral("Updated display scope to %1").arg(DisplayScopes::rawValue(scope));
    persistState();
    if (!currentFileExists())
        return;
    spawn(reapplyForDisplayScope(*m_currentLocalFileURL, scope), QStringLiteral("display scope"));
}

QCoro::Task<> WallpaperStore::reapplyForDisplayScope(QUrl file, DisplayScope scope)
{
    QPointer<WallpaperStore> self(this);
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    std::exception_ptr failure;
    try {
        co_await applier->applyWallpaper(file, scope, {});
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (!failure) {
        setErrorMessage(std::nullopt);
        co_return;
    }
    const QString message = describeError(failure);
    setErrorMessage(message);
    qCCritical(lcStore).noquote() << QStringLiteral("Failed to re-apply wallpaper for new display scope: %1").arg(message);
}

void WallpaperStore::togglePaused()
{
    if (m_settings.frequency == ChangeFrequency::manual)
        return;
    AppSettings next = m_settings;
    next.isPaused = !next.isPaused;
    setSettings(next);
    qCInfo(lcStore).noquote() << QStringLiteral("Toggled pause state: %1").arg(next.isPaused ? QStringLiteral("true") : QStringLiteral("false"));
    if (next.isPaused)
        cancelAutomaticFetchIfRunning();
    rescheduleTimer(!next.isPaused);
    persistState();
}

void WallpaperStore::handleSystemWake()
{
    if (!m_hasStarted || !isAutoRotationActive() || m_isLoading || m_activeFetchTask)
        return;
    qCInfo(lcStore) << "System woke from sleep; checking wallpaper schedule";
    // Timers count monotonic time, which stands still during suspend: re-measure from the wall clock.
    if (m_nextChangeDate && *m_nextChangeDate <= m_now())
        startFetch(true);
    else
        rescheduleTimer(false);
}

void WallpaperStore::syncCurrentWallpaperToActiveSpace()
{
    if (!currentFileExists())
        return;
    spawn(syncToActiveSpace(*m_currentLocalFileURL, m_settings.displayScope), QStringLiteral("workspace"));
}

QCoro::Task<> WallpaperStore::syncToActiveSpace(QUrl file, DisplayScope scope)
{
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    const QList<std::optional<QUrl>> shown = co_await applier->desktopImageURLs(scope);
    if (shown.isEmpty())
        co_return;
    const QUrl target = standardizedFileURL(file);
    const bool allShowCurrent = std::all_of(shown.cbegin(), shown.cend(), [&](const std::optional<QUrl> &u) {
        return u && standardizedFileURL(*u) == target;
    });
    if (allShowCurrent)
        co_return;
    try {
        co_await applier->applyWallpaper(file, scope, {});
    } catch (...) {
        // The next workspace switch or fetch tries again; nothing to tell the user here.
    }
}

} // namespace Starvane
