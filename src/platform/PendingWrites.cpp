#include "platform/PendingWrites.h"

#include <QTimer>

#include <QCoroSignal>

PendingWrites::Scope::Scope(PendingWrites &writes)
    : m_writes(writes)
{
    ++m_writes.m_count;
}

PendingWrites::Scope::~Scope()
{
    if (--m_writes.m_count > 0)
        return;
    QTimer::singleShot(0, &m_writes, [writes = &m_writes] {
        if (writes->m_count == 0)
            Q_EMIT writes->settled();
    });
}

QCoro::Task<void> PendingWrites::untilNone()
{
    while (m_count > 0)
        co_await qCoro(this, &PendingWrites::settled);
}
