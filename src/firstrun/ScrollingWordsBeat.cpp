#include "firstrun/ScrollingWordsBeat.h"

#include <QTimerEvent>

#include <algorithm>

void ScrollingWordsBeat::setRunning(bool running)
{
    if (running == m_running)
        return;
    m_running = running;
    restart();
    Q_EMIT runningChanged();
}

void ScrollingWordsBeat::setTicksPerSecond(int ticks)
{
    if (ticks == m_ticksPerSecond || ticks <= 0)
        return;
    m_ticksPerSecond = ticks;
    restart();
    Q_EMIT ticksPerSecondChanged();
}

void ScrollingWordsBeat::restart()
{
    m_timer.stop();
    if (!m_running)
        return;
    m_sinceTick.start();
    m_timer.start(1000 / m_ticksPerSecond, this);
}

void ScrollingWordsBeat::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId())
        return QObject::timerEvent(event);
    const qint64 longest = qint64(longestStep) * 1000 / m_ticksPerSecond;
    m_clock += qreal(std::min(m_sinceTick.restart(), longest)) / 1000;
    Q_EMIT clockChanged();
}
