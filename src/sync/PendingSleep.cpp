#include "sync/PendingSleep.h"

#include "sync/Resume.h"

PendingSleep::PendingSleep(std::chrono::milliseconds duration)
    : m_duration(duration)
{
}

void PendingSleep::finish()
{
    end();
}

void PendingSleep::cancel()
{
    if (m_over)
        return;
    m_cancelled = true;
    if (auto onCancel = std::exchange(m_onCancel, {}))
        onCancel();
    end();
}

void PendingSleep::restart()
{
    if (m_over)
        return;
    ++m_restarts;
    if (m_onRestart)
        m_onRestart();
}

void PendingSleep::end()
{
    if (m_over)
        return;
    m_over = true;
    m_onCancel = {};
    m_onRestart = {};
    if (auto waiter = std::exchange(m_waiter, {}))
        resumeLater(waiter, shared_from_this());
}
