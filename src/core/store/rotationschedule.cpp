// SPDX-License-Identifier: GPL-3.0-or-later
#include "rotationschedule.h"

#include "async/cancellation.h"
#include "logging.h"

#include <QPointer>

namespace Starvane {

RotationSchedule::RotationSchedule(Clock now, Sleeper sleep, double retryDelaySeconds, QObject *parent)
    : QObject(parent), m_now(std::move(now)), m_sleep(std::move(sleep)), m_retryDelaySeconds(retryDelaySeconds)
{
    if (!m_sleep) m_sleep = [](std::chrono::milliseconds d, std::stop_token st) { return sleepFor(d, std::move(st)); };
}

RotationSchedule::~RotationSchedule()
{
    // The timer holds us weakly and would find us gone; stopping it just ends it sooner.
    cancelTimer();
}

bool RotationSchedule::start(const AppSettings &settings, bool hasCurrentWallpaper)
{
    if (m_hasStarted) return false;
    m_hasStarted = true;
    qCInfo(lcStore).noquote() << QStringLiteral("Starting WallpaperStore (frequency=%1, paused=%2)")
                                     .arg(ChangeFrequencies::rawValue(settings.frequency))
                                     .arg(settings.isPaused ? QStringLiteral("true") : QStringLiteral("false"));
    if (!settings.isAutoRotationActive()) {
        clear();
        return false;
    }
    if (!hasCurrentWallpaper || isDue()) return true;
    rescheduleTimer(settings, !m_nextChangeDate.has_value());
    return false;
}

void RotationSchedule::stop()
{
    cancelTimer();
}

bool RotationSchedule::wake(const AppSettings &settings)
{
    qCInfo(lcStore) << "System woke from sleep; checking wallpaper schedule";
    if (isDue()) return true;
    rescheduleTimer(settings, false);
    return false;
}

bool RotationSchedule::scheduleRetryIfNeeded(const AppSettings &settings, bool wasAutomatic)
{
    // A user's change that failed leaves a future schedule alone; an overdue one needs a new date.
    if (!wasAutomatic && !isDue()) return false;
    if (settings.isAutoRotationActive()) {
        const double interval = ChangeFrequencies::interval(settings.frequency).value_or(m_retryDelaySeconds);
        scheduleTimer(m_now().addMSecs(qint64(std::min(interval, m_retryDelaySeconds) * 1000)));
    } else {
        clear();
    }
    return true;
}

bool RotationSchedule::isDue() const
{
    return m_nextChangeDate && *m_nextChangeDate <= m_now();
}

void RotationSchedule::rescheduleTimer(const AppSettings &settings, bool resetInterval)
{
    if (!settings.isAutoRotationActive()) {
        clear();
        return;
    }
    const double interval = *ChangeFrequencies::interval(settings.frequency);
    const QDateTime fromNow = m_now().addMSecs(qint64(interval * 1000));
    scheduleTimer(resetInterval ? fromNow : m_nextChangeDate.value_or(fromNow));
}

void RotationSchedule::scheduleTimer(const QDateTime &date)
{
    cancelTimer();
    setNextChangeDate(date);
    const QDateTime now = m_now();
    qint64 delayMs = (now.isValid() && date.isValid()) ? now.msecsTo(date) : 0;
    delayMs = std::max<qint64>(delayMs, 1000);
    m_timer.emplace();
    spawn(runTimer(std::chrono::milliseconds(delayMs), m_timer->get_token()), QStringLiteral("timer"));
}

void RotationSchedule::clear()
{
    cancelTimer();
    setNextChangeDate(std::nullopt);
}

void RotationSchedule::cancelTimer()
{
    if (!m_timer) return;
    std::stop_source timer = std::move(*m_timer);
    m_timer.reset();
    timer.request_stop();
}

void RotationSchedule::setNextChangeDate(const std::optional<QDateTime> &date)
{
    if (m_nextChangeDate == date) return;
    m_nextChangeDate = date;
    Q_EMIT nextChangeDateChanged();
}

QCoro::Task<> RotationSchedule::runTimer(std::chrono::milliseconds delay, std::stop_token st)
{
    QPointer<RotationSchedule> self(this);
    const Sleeper sleep = m_sleep;
    try {
        co_await sleep(delay, st);
    } catch (const CancelledError &) {
        co_return;
    }
    // A timer replaced while its wake-up was already queued finds itself stopped here.
    if (!self || st.stop_requested()) co_return;
    // The change it starts sets the next date; the timer does not reschedule itself.
    m_timer.reset();
    Q_EMIT due();
}

} // namespace Starvane
