#include "platform/secret/GAsyncCall.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {

// Counts pending calls and, under a non-GLib event dispatcher, drives GLib's
// default main context so their callbacks still arrive.
class MainContextPump {
public:
    static MainContextPump &instance()
    {
        static MainContextPump pump;
        return pump;
    }

    void callStarted()
    {
        ++m_pending;
        if (needsPumping() && !m_timer) {
            m_timer = new QTimer(QCoreApplication::instance());
            m_timer->setInterval(10);
            QObject::connect(m_timer, &QTimer::timeout, [] {
                while (g_main_context_iteration(nullptr, FALSE)) {
                }
            });
        }
        if (m_timer && !m_timer->isActive())
            m_timer->start();
    }

    void callFinished()
    {
        if (--m_pending == 0 && m_timer)
            m_timer->stop();
    }

private:
    static bool needsPumping()
    {
        const QAbstractEventDispatcher *dispatcher =
            QAbstractEventDispatcher::instance(QThread::currentThread());
        return dispatcher && !dispatcher->inherits("QEventDispatcherGlib") && QCoreApplication::instance();
    }

    int m_pending = 0;
    QTimer *m_timer = nullptr;
};

} // namespace

void GAsyncCall::await_suspend(std::coroutine_handle<> handle)
{
    m_handle = handle;
    MainContextPump::instance().callStarted();
    m_starter(&GAsyncCall::finished, this);
}

void GAsyncCall::finished(GObject *, GAsyncResult *result, gpointer self)
{
    auto *call = static_cast<GAsyncCall *>(self);
    call->m_result.reset(G_ASYNC_RESULT(g_object_ref(result)));
    MainContextPump::instance().callFinished();
    call->m_handle.resume();
}
