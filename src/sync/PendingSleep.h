#pragma once

#include <chrono>
#include <coroutine>
#include <functional>
#include <memory>
#include <utility>

// One wait of the reconnection timer. It ends exactly once: when its time is up
// (the sleeper calls finish()) or when the client replaces it (cancel()). A
// coroutine awaiting it always resumes from the event loop, never from inside
// finish() or cancel(), so callers may cancel from anywhere.
class PendingSleep : public std::enable_shared_from_this<PendingSleep> {
public:
    explicit PendingSleep(std::chrono::milliseconds duration);
    PendingSleep(const PendingSleep &) = delete;
    PendingSleep &operator=(const PendingSleep &) = delete;

    std::chrono::milliseconds duration() const { return m_duration; }
    bool isCancelled() const { return m_cancelled; }
    bool isOver() const { return m_over; }

    void finish();
    void cancel();
    // Starts the same wait over from now, unless it is over.
    void restart();
    int restarts() const { return m_restarts; }

    // The sleeper's hook to release its timer when the wait is cancelled.
    void setOnCancel(std::function<void()> onCancel) { m_onCancel = std::move(onCancel); }
    // The sleeper's hook to start its timer over.
    void setOnRestart(std::function<void()> onRestart) { m_onRestart = std::move(onRestart); }

    struct Awaiter {
        std::shared_ptr<PendingSleep> sleep;
        bool await_ready() const noexcept { return sleep->m_over; }
        void await_suspend(std::coroutine_handle<> handle) noexcept { sleep->m_waiter = handle; }
        // True when the time ran out, false when the wait was cancelled.
        bool await_resume() const noexcept { return !sleep->m_cancelled; }
    };
    Awaiter wait() { return Awaiter{shared_from_this()}; }

private:
    void end();

    std::chrono::milliseconds m_duration;
    bool m_over = false;
    bool m_cancelled = false;
    std::coroutine_handle<> m_waiter;
    std::function<void()> m_onCancel;
    std::function<void()> m_onRestart;
    int m_restarts = 0;
};
