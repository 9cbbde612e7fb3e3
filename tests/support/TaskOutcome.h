#pragma once

#include "backend/Failure.h"

#include <QTest>

#include <QCoroTask>

#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <variant>

// The result of running a coroutine to its end from a test: its value, or
// the exception it failed with.
template <class T> struct TaskOutcome {
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    bool finished = false;
    std::optional<Value> value;
    std::exception_ptr error;

    bool succeeded() const { return finished && !error; }

    // The failure as E, if it is one.
    template <class E> std::optional<E> failure() const
    {
        if (!error)
            return std::nullopt;
        try {
            std::rethrow_exception(error);
        } catch (const E &e) {
            return e;
        } catch (...) {
        }
        return std::nullopt;
    }

    // The failure's text (Failure::description, else what()), empty on success.
    QString description() const
    {
        if (!error)
            return {};
        try {
            std::rethrow_exception(error);
        } catch (const Failure &failure) {
            return failure.description();
        } catch (const std::exception &e) {
            return QString::fromUtf8(e.what());
        } catch (...) {
        }
        return QStringLiteral("(unknown exception)");
    }
};

namespace TaskOutcomeDetail {
template <class T> QCoro::Task<void> collect(QCoro::Task<T> task, std::shared_ptr<TaskOutcome<T>> outcome)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            outcome->value.emplace();
        } else {
            outcome->value.emplace(co_await std::move(task));
        }
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->finished = true;
}
} // namespace TaskOutcomeDetail

// Runs the event loop until `task` ends or `timeoutMs` passes (then finished is false).
template <class T> TaskOutcome<T> awaitTask(QCoro::Task<T> task, int timeoutMs = 20000)
{
    auto outcome = std::make_shared<TaskOutcome<T>>();
    TaskOutcomeDetail::collect(std::move(task), outcome);
    (void)QTest::qWaitFor([&] { return outcome->finished; }, timeoutMs);
    return *outcome;
}

// Starts `task` and returns the shared outcome, filled in when it ends.
template <class T> std::shared_ptr<TaskOutcome<T>> startTask(QCoro::Task<T> task)
{
    auto outcome = std::make_shared<TaskOutcome<T>>();
    TaskOutcomeDetail::collect(std::move(task), outcome);
    return outcome;
}
