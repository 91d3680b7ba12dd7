// SPDX-License-Identifier: GPL-3.0-or-later
#include "cancellation.h"

#include "logging.h"

#include <QCoroNetworkReply>
#include <QCoroTimer>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

namespace Starvane {

QCoro::Task<> sleepFor(std::chrono::milliseconds duration, std::stop_token st)
{
    throwIfCancelled(st);
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    // QTimer takes an int of milliseconds; longer sleeps are chained.
    constexpr qint64 kMaxChunk = 24LL * 3600 * 1000;
    qint64 remaining = std::max<qint64>(0, duration.count());
    // Stopping the timer would leave us suspended forever (the awaiter only waits for timeout),
    // so a stop fires it early instead. Posted: request_stop() may come from any thread.
    std::stop_callback wake(st, [&timer] {
        QMetaObject::invokeMethod(&timer, [&timer] { timer.start(0); }, Qt::QueuedConnection);
    });
    do {
        const qint64 chunk = std::min(remaining, kMaxChunk);
        remaining -= chunk;
        timer.start(int(chunk));
        co_await timer;
        throwIfCancelled(st);
    } while (remaining > 0);
}

QCoro::Task<> awaitReply(QNetworkReply *reply, std::stop_token st)
{
    QPointer<QNetworkReply> guard(reply);
    std::stop_callback abortOnStop(st, [guard] {
        QMetaObject::invokeMethod(
            guard.data(), [guard] { if (guard) guard->abort(); }, Qt::QueuedConnection);
    });
    if (!reply->isFinished())
        co_await qCoro(reply).waitForFinished();
    throwIfCancelled(st);
}

bool isCancellation(const std::exception_ptr &e, const std::stop_token &st)
{
    if (st.stop_requested())
        return true;
    try {
        std::rethrow_exception(e);
    } catch (const CancelledError &) {
        return true;
    } catch (...) {
        return false;
    }
}

namespace {
QCoro::Task<> guarded(QCoro::Task<> task, QString name)
{
    try {
        co_await std::move(task);
    } catch (const CancelledError &) {
        // Cancellation is an ordinary way for a background task to end.
    } catch (const std::exception &e) {
        qCWarning(lcTasks).noquote() << "Background task" << name << "failed:" << describeError(e);
    } catch (...) {
        qCWarning(lcTasks).noquote() << "Background task" << name << "failed with an unknown error";
    }
}
} // namespace

void spawn(QCoro::Task<> task, QString name)
{
    // QCoro tasks run eagerly and keep running when their handle is dropped.
    guarded(std::move(task), std::move(name));
}

} // namespace Starvane
