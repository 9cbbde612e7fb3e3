#pragma once

#include <QObject>

#include <QCoroTask>

#include <coroutine>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// Awaits a task on behalf of a QObject, the context: the awaiting coroutine
// goes on (with the task's value or exception) only while the context still
// exists, so the code after the co_await may use it freely:
//
//     const UserInfo user = co_await whileAlive(this, m_client.getCurrentUser());
//
// It is QCoro::connect with the coroutine's continuation as the callback. When
// the context is destroyed before the task ends, the awaiting coroutine is
// never resumed: its work ends there, and its frame is left behind (a rare,
// small leak in preference to a step on a destroyed object). Use it wherever a
// member coroutine waits for something that can outlive its object.
template <class T> class WhileAlive {
public:
    WhileAlive(QObject *context, QCoro::Task<T> task)
        : m_context(context)
        , m_task(std::move(task))
    {
    }

    bool await_ready() const noexcept { return false; }

    bool await_suspend(std::coroutine_handle<> awaiting)
    {
        m_awaiting = awaiting;
        m_suspending = true;
        QCoro::connect(settle(std::move(m_task)), m_context, [this](Outcome outcome) {
            m_outcome = std::move(outcome);
            if (!m_suspending)
                m_awaiting.resume();
        });
        m_suspending = false;
        // A task that had already ended has called back above: go straight on.
        return !m_outcome;
    }

    T await_resume()
    {
        if (m_outcome->failure)
            std::rethrow_exception(m_outcome->failure);
        if constexpr (!std::is_void_v<T>)
            return std::move(std::get<1>(m_outcome->value));
    }

private:
    struct Outcome {
        std::variant<std::monostate, std::conditional_t<std::is_void_v<T>, std::monostate, T>> value;
        std::exception_ptr failure;
    };

    static QCoro::Task<Outcome> settle(QCoro::Task<T> task)
    {
        Outcome outcome;
        try {
            if constexpr (std::is_void_v<T>)
                co_await std::move(task);
            else
                outcome.value.template emplace<1>(co_await std::move(task));
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        co_return outcome;
    }

    QObject *m_context;
    QCoro::Task<T> m_task;
    std::coroutine_handle<> m_awaiting;
    std::optional<Outcome> m_outcome;
    bool m_suspending = false;
};

template <class T> WhileAlive<T> whileAlive(QObject *context, QCoro::Task<T> task)
{
    return WhileAlive<T>(context, std::move(task));
}

namespace WhileAliveDetail {
template <class T, class Awaitable> QCoro::Task<T> asTask(Awaitable awaitable)
{
    if constexpr (std::is_void_v<T>)
        co_await std::move(awaitable);
    else
        co_return co_await std::move(awaitable);
}
} // namespace WhileAliveDetail

// The same for anything else a task can co_await (a D-Bus call, a signal, an
// awaiter); T is what the co_await gives, or void to drop it.
template <class T, class Awaitable> WhileAlive<T> whileAlive(QObject *context, Awaitable awaitable)
{
    return WhileAlive<T>(context, WhileAliveDetail::asTask<T>(std::move(awaitable)));
}
