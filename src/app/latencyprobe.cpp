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
#endif

namespace Starvane {

#ifdef STARVANE_TEST_HOOKS
namespace {
// How late the main loop ran a 1 ms timer tells how long it was blocked. Stalls over a frame
// (16 ms) are listed with their wall-clock time so a benchmark can tell which ones its action caused.
class LatencyProbe : public QObject
{
public:
    explicit LatencyProbe(QObject *parent) : QObject(parent)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, &LatencyProbe::tick);
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
        if (lateMs > 16.0)
            m_stalls.append({QDateTime::currentMSecsSinceEpoch(), lateMs});
    }

    void report()
    {
        if (m_lateness.isEmpty())
            return;
        QList<double> sorted = m_lateness;
        std::sort(sorted.begin(), sorted.end());
        std::fprintf(stderr, "latency-probe: samples %lld, max %.1f ms, p99 %.2f ms, stalls over 16 ms: %lld\n",
                     qlonglong(sorted.size()), sorted.last(), sorted.at(qsizetype(double(sorted.size() - 1) * 0.99)),
                     qlonglong(m_stalls.size()));
        for (const auto &[at, ms] : std::as_const(m_stalls))
            std::fprintf(stderr, "latency-probe: stall at %lld: %.1f ms\n", at, ms);
        std::fflush(stderr);
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    QList<double> m_lateness;
    QList<std::pair<qint64, double>> m_stalls;
};
} // namespace

void installLatencyProbeIfRequested()
{
    if (qEnvironmentVariableIsSet("STARVANE_TEST_LATENCY_PROBE"))
        new LatencyProbe(qApp);
}
#else
void installLatencyProbeIfRequested() {}
#endif

} // namespace Starvane
