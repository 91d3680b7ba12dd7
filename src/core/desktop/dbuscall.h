// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "async/cancellation.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <chrono>
#include <coroutine>
#include <memory>
#include <stop_token>
#include <utility>

namespace Starvane {

/// Desktop services answer at once or not at all; a short wait keeps applies from piling up.
constexpr int desktopDBusTimeoutMs = 3000;

namespace detail {
struct WakeState
{
    std::coroutine_handle<> awaiting;
    bool signalled = false;
    void wake(bool bySignal)
    {
        if (!awaiting) return;
        signalled = bySignal;
        std::exchange(awaiting, {}).resume();
    }
};
struct SuspendUntilWoken
{
    explicit SuspendUntilWoken(std::shared_ptr<WakeState> s) : state(std::move(s)) {}
    std::shared_ptr<WakeState> state;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> awaiting) noexcept { state->awaiting = awaiting; }
    void await_resume() const noexcept {}
};
} // namespace detail

/// Waits for the next emission of `signal` from `sender`, at most `timeout`; true when it came. Resumes from
/// the event loop, never inside the emission (the awaiting coroutine may delete the sender). A stop ends
/// the wait at once with CancelledError. Only the main thread's event loop runs meanwhile: no nested loop.
template <typename Sender, typename Signal>
QCoro::Task<bool> nextSignal(Sender *sender, Signal signal, std::chrono::milliseconds timeout, std::stop_token st)
{
    throwIfCancelled(st);
    auto state = std::make_shared<detail::WakeState>();
    // Every wake-up is queued with the timer as context; the timer goes with deleteLater, because the
    // wake-up that resumes us runs inside one of its own events.
    auto *timer = new QTimer;
    timer->setSingleShot(true);
    const QMetaObject::Connection onSignal = QObject::connect(
        sender, signal, timer, [state] { state->wake(true); }, Qt::QueuedConnection);
    QObject::connect(
        timer, &QTimer::timeout, timer, [state] { state->wake(false); }, Qt::QueuedConnection);
    {
        // Posted: request_stop() may come from any thread.
        std::stop_callback onStop(st, [timer, state] {
            QMetaObject::invokeMethod(
                timer, [state] { state->wake(false); }, Qt::QueuedConnection);
        });
        timer->start(int(timeout.count()));
        // A named awaiter: GCC 12 destroys a braced temporary inside co_await twice.
        detail::SuspendUntilWoken suspend(state);
        co_await suspend;
    }
    QObject::disconnect(onSignal);
    timer->stop();
    timer->deleteLater();
    throwIfCancelled(st);
    co_return state->signalled;
}

/// A method call awaited with our short time-out. The reply may be an error message (a time-out is one:
/// org.freedesktop.DBus.Error.NoReply). A stop ends the wait with CancelledError.
QCoro::Task<QDBusMessage> callDesktopService(QDBusConnection bus, QString service, QString path, QString interface,
                                             QString method, QVariantList arguments = {}, std::stop_token st = {});

/// Like callDesktopService, but an error reply throws DesktopBackendError naming `what`.
QCoro::Task<QDBusMessage> callDesktopServiceOrThrow(QDBusConnection bus, QString service, QString path,
                                                    QString interface, QString method, QVariantList arguments,
                                                    QString what, std::stop_token st = {});

/// EWMH numbers on the root window (_NET_NUMBER_OF_DESKTOPS, _NET_CURRENT_DESKTOP), when an X
/// server with a window manager answers.
std::optional<int> ewmhRootCardinal(const char *property);

} // namespace Starvane
