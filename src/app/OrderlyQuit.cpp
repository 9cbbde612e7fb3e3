#include "app/OrderlyQuit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <QCoroSignal>

OrderlyQuit::OrderlyQuit(std::chrono::milliseconds bound, QObject *parent)
    : QObject(parent)
    , m_bound(bound)
{
    QCoreApplication::instance()->installEventFilter(this);
}

OrderlyQuit::~OrderlyQuit() = default;

void OrderlyQuit::request()
{
    if (m_leaving)
        return;
    m_leaving = true;
    QCoro::connect(leave(), this, [] {});
}

bool OrderlyQuit::eventFilter(QObject *watched, QEvent *event)
{
    // A Quit from elsewhere (the session manager) waits for the writes too;
    // our own, once they are done, goes through.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && !m_writesDone) {
        request();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QCoro::Task<void> OrderlyQuit::leave()
{
    if (m_writes) {
        QTimer limit;
        limit.setSingleShot(true);
        limit.start(m_bound);
        // Whichever comes first: the writes' end fires the timer at once.
        QCoro::connect(m_writes(), &limit, [&limit] { limit.start(0); });
        co_await qCoro(&limit, &QTimer::timeout);
    }
    m_writesDone = true;
    QCoreApplication::quit();
}
