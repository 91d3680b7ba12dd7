// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <exception>
#include <optional>
#include <type_traits>

namespace Starvane::Testing {

namespace detail {
template<typename T>
struct TaskOutcome
{
    std::optional<T> value;
    std::exception_ptr error;
    bool done = false;
};
template<>
struct TaskOutcome<void>
{
    std::exception_ptr error;
    bool done = false;
};

template<typename T>
QCoro::Task<> settle(QCoro::Task<T> task, TaskOutcome<T> *outcome, QEventLoop *loop)
{
    try {
        if constexpr (std::is_void_v<T>)
            co_await task;
        else
            outcome->value.emplace(co_await task);
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->done = true;
    loop->quit();
}
} // namespace detail

/// Runs the event loop until `task` ends and returns its result or rethrows its exception. (QCoro 0.8's
/// own waitFor never returns when the task throws.)
template<typename T>
T awaitTask(QCoro::Task<T> task)
{
    detail::TaskOutcome<T> outcome;
    QEventLoop loop;
    auto settling = detail::settle(std::move(task), &outcome, &loop);
    if (!outcome.done)
        loop.exec();
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

} // namespace Starvane::Testing
