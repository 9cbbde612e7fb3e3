#include "sync/Resume.h"

#include <QCoreApplication>
#include <QMetaObject>

void resumeLater(std::coroutine_handle<> handle, std::shared_ptr<const void> keepAlive)
{
    // The application object outlives every client, so a queued resumption is
    // never dropped because its context went away first.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [handle, keepAlive = std::move(keepAlive)]() { handle.resume(); },
        Qt::QueuedConnection);
}
