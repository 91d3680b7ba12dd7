// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/appsettings.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

namespace Starvane {

/// When the wallpaper changes by itself: one sleeping timer, the date it sleeps for, and the rules
/// for launch, wake, settings changes and the retry after a failed change. It never fetches itself:
/// it says when a change is due (due(), or a true result), and the store starts it. Main thread only.
class RotationSchedule : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    /// How the timer waits: completes after the delay, throws CancelledError when stopped.
    using Sleeper = std::function<QCoro::Task<>(std::chrono::milliseconds, std::stop_token)>;

    RotationSchedule(Clock now, Sleeper sleep, double retryDelaySeconds, QObject *parent = nullptr);
    ~RotationSchedule() override;

    const std::optional<QDateTime> &nextChangeDate() const { return m_nextChangeDate; }
    /// The date read back from the last run, before anything observes the schedule.
    void restore(std::optional<QDateTime> date) { m_nextChangeDate = std::move(date); }
    /// A timer sleeps towards nextChangeDate.
    bool isWaiting() const { return m_timer.has_value(); }
    bool hasStarted() const { return m_hasStarted; }

    /// The first launch of the schedule; true when a change is due now (nothing shown yet, or the
    /// stored date has passed). Later calls do nothing and return false.
    bool start(const AppSettings &settings, bool hasCurrentWallpaper);
    /// Cancels the timer; the date stays, so the next launch resumes the schedule.
    void stop();
    /// After the computer woke: true when the change fell due during sleep; otherwise the timer is
    /// measured afresh from the wall clock (timers count no time while the machine sleeps).
    bool wake(const AppSettings &settings);
    /// A full interval from now, or no schedule at all when rotation is off: after a settings change
    /// and after a successful change.
    void restartInterval(const AppSettings &settings) { rescheduleTimer(settings, true); }
    /// After a failed change: automatic changes, and overdue ones, are retried soon while rotation
    /// is on; with rotation off the schedule is cleared. False when the schedule was left alone.
    bool scheduleRetryIfNeeded(const AppSettings &settings, bool wasAutomatic);

Q_SIGNALS:
    void nextChangeDateChanged();
    /// The timer ran out: an automatic change should start.
    void due();

private:
    bool isDue() const;
    void rescheduleTimer(const AppSettings &settings, bool resetInterval);
    void scheduleTimer(const QDateTime &date);
    void clear();
    void cancelTimer();
    void setNextChangeDate(const std::optional<QDateTime> &date);
    QCoro::Task<> runTimer(std::chrono::milliseconds delay, std::stop_token st);

    Clock m_now;
    Sleeper m_sleep;
    double m_retryDelaySeconds;
    std::optional<QDateTime> m_nextChangeDate;
    // A present stop source is the handle of the sleeping timer task.
    std::optional<std::stop_source> m_timer;
    bool m_hasStarted = false;
};

} // namespace Starvane
