#pragma once

// Lets a coroutine co_await one GIO-style asynchronous call: the call is started
// with a GAsyncReadyCallback, and the coroutine resumes on the main thread with
// the call's GAsyncResult once GLib's main context dispatches the callback.
// Qt's event loop normally is GLib's; when it is not (QT_NO_GLIB), the default
// main context is pumped from a timer while calls are pending.

#include <QtGlobal>

#undef signals
#include <gio/gio.h>
#define signals Q_SIGNALS

#include <coroutine>
#include <functional>
#include <memory>

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AsyncResultPtr = std::unique_ptr<GAsyncResult, GObjectUnref>;

class GAsyncCall {
public:
    using Starter = std::function<void(GAsyncReadyCallback callback, gpointer userData)>;

    explicit GAsyncCall(Starter starter)
        : m_starter(std::move(starter))
    {
    }
    // Moved only before it is awaited (the coroutine machinery may take it by value).
    GAsyncCall(GAsyncCall &&) = default;
    GAsyncCall &operator=(GAsyncCall &&) = default;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle);
    AsyncResultPtr await_resume() noexcept { return std::move(m_result); }

private:
    static void finished(GObject *source, GAsyncResult *result, gpointer self);

    Starter m_starter;
    std::coroutine_handle<> m_handle;
    AsyncResultPtr m_result;
};
