#include "DevClock.h"

#include <QDateTime>

DevClock::DevClock(QObject *parent)
    : QObject(parent)
{
}

qint64 DevClock::nowMs() const
{
    return m_manualNow ? *m_manualNow : QDateTime::currentMSecsSinceEpoch();
}

void DevClock::setManual(qint64 nowMs)
{
    m_manualNow = nowMs;
    Q_EMIT moved();
}

void DevClock::advance(qint64 ms)
{
    m_manualNow = nowMs() + ms;
    Q_EMIT moved();
}
