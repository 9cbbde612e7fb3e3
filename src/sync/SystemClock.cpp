#include "sync/SystemClock.h"

#include <QDateTime>

qint64 SystemClock::millisecondsSinceEpoch() const
{
    return QDateTime::currentMSecsSinceEpoch();
}
