// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few pieces every asynchronous operation shares: a std::stop_token is the cancellation
// handle, each suspension point completes early when it is stopped, and cancellation surfaces
// as a CancelledError thrown right after resuming.

#include "models/errors.h"

#include <QCoroTask>
#include <QFuture>
#include <QString>
#include <QtConcurrent/QtConcurrentRun>
#include <chrono>
#include <coroutine>
#include <memory>
#include <exception>
#include <optional>
#include <stop_token>
#include <type_traits>

#include <QCoroFuture>

class QNetworkReply;

namespace Starvane {

inline void throwIfCancelled(const std::stop_token &st)
{
    if (st.stop_requested())
        throw CancelledError();
}

/// Sleeps on a precise timer; wakes at once and throws CancelledError when stopped.
QCoro::Task<> sleepFor(std::chrono::milliseconds duration, std::stop_token st);

/// Waits until `reply` finishes. A stop aborts the request (posted, so any thread may stop)
/// and makes this throw CancelledError; the caller keeps ownership of the reply.
QCoro::Task<> awaitReply(QNetworkReply *reply, std::stop_token st);

/// True when `e` stands for a cancellation: our own CancelledError, or any error after `st` was stopped.
bool isCancellation(const std::exception_ptr &e, const std::stop_token &st);

/// Starts a task nobody awaits. Its failure would otherwise vanish silently, so it is logged.
void spawn(QCoro::Task<> task, QString name);

namespace detail {
template<typename R>
struct Outcome
{
    std::optional<R> value;
    std::exception_ptr error;
};
template<>
struct Outcome<void>
{
    std::exception_ptr error;
};
} // namespace detail

/// Runs `work` on the global thread pool and resumes on the awaiting (main) thread with its result.
/// Exceptions thrown by `work` are rethrown here unchanged. `work` must own copies of what it uses.
template<typename F>
auto runInBackground(F work) -> QCoro::Task<std::invoke_result_t<F>>
{
    using R = std::invoke_result_t<F>;
    QFuture<detail::Outcome<R>> future = QtConcurrent::run([work = std::move(work)]() mutable {
        detail::Outcome<R> out;
        try {
            if constexpr (std::is_void_v<R>)
                work();
            else
                out.value.emplace(work());
        } catch (...) {
            out.error = std::current_exception();
        }
        return out;
    });
    detail::Outcome<R> out = co_await future;
    if (out.error)
        std::rethrow_exception(out.error);
    if constexpr (!std::is_void_v<R>)
        co_return std::move(*out.value);
}

} // namespace Starvane
