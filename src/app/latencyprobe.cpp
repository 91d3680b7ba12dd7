// SPDX-License-Identifier: GPL-3.0-or-later
#include "latencyprobe.h"

#ifdef STARVANE_TEST_HOOKS
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Starvane {

#ifdef STARVANE_TEST_HOOKS
namespace {
// How late the main loop ran a 1 ms timer tells how long it was blocked. Stalls over a frame
// (16 ms) are listed with their wall-clock time so a benchmark can tell which ones its action caused,
// and with how much of the gap the main thread ran and how much it sat ready while another thread had
// the processor (the kernel's schedstat for the thread), which tells our own work from a busy machine.
class LatencyProbe : public QObject
{
public:
    LatencyProbe(double thresholdMs, QObject *parent) : QObject(parent), m_thresholdMs(thresholdMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, &LatencyProbe::tick);
        m_schedstat = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
        m_lastSched = schedstat();
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_timer.start();
        connect(qApp, &QCoreApplication::aboutToQuit, this, &LatencyProbe::report);
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const double lateMs = double(now - m_last) / 1e6 - 1.0;
        m_last = now;
        m_lateness.append(std::max(0.0, lateMs));
        const Sched sched = schedstat();
        if (lateMs > m_thresholdMs)
            m_stalls.append({QDateTime::currentMSecsSinceEpoch(), lateMs, double(sched.ran - m_lastSched.ran) / 1e6,
                             double(sched.waited - m_lastSched.waited) / 1e6});
        m_lastSched = sched;
    }

    struct Sched
    {
        qint64 ran = 0;    // ns on a processor
        qint64 waited = 0; // ns ready to run, waiting for one
    };
    Sched schedstat() const
    {
        char text[128] = {};
        if (m_schedstat < 0 || ::pread(m_schedstat, text, sizeof text - 1, 0) <= 0) return {};
        char *end = nullptr;
        Sched s;
        s.ran = std::strtoll(text, &end, 10);
        s.waited = std::strtoll(end, nullptr, 10);
        return s;
    }

    void report()
    {
        if (m_lateness.isEmpty()) return;
        QList<double> sorted = m_lateness;
        std::sort(sorted.begin(), sorted.end());
        std::fprintf(stderr, "latency-probe: samples %lld, max %.1f ms, p99 %.2f ms, stalls over %g ms: %lld\n",
                     qlonglong(sorted.size()), sorted.last(), sorted.at(qsizetype(double(sorted.size() - 1) * 0.99)),
                     m_thresholdMs,
                     qlonglong(m_stalls.size()));
        for (const Stall &stall : std::as_const(m_stalls))
            std::fprintf(stderr,
                         "latency-probe: stall at %lld: %.1f ms (ran %.1f ms, waited for a processor %.1f ms)\n",
                         stall.at, stall.lateMs, stall.ranMs, stall.waitedMs);
        std::fflush(stderr);
    }

    double m_thresholdMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    QList<double> m_lateness;
    struct Stall
    {
        qint64 at;
        double lateMs;
        double ranMs;
        double waitedMs;
    };
    QList<Stall> m_stalls;
    int m_schedstat = -1;
    Sched m_lastSched;
};
} // namespace

void installLatencyProbeIfRequested()
{
    // The value is the lateness worth listing, in milliseconds; a frame (16 ms) unless given.
    if (!qEnvironmentVariableIsSet("STARVANE_TEST_LATENCY_PROBE")) return;
    bool ok = false;
    const double threshold = qEnvironmentVariable("STARVANE_TEST_LATENCY_PROBE").toDouble(&ok);
    new LatencyProbe(ok && threshold > 0 ? threshold : 16.0, qApp);
}
#else
void installLatencyProbeIfRequested() {}
#endif

} // namespace Starvane
