#include "sync/TimerSleeper.h"

#include <QPointer>
#include <QTimer>

std::shared_ptr<PendingSleep> TimerSleeper::sleep(std::chrono::milliseconds duration)
{
    auto pending = std::make_shared<PendingSleep>(duration);
    auto *timer = new QTimer(&m_timers);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::CoarseTimer);
    std::weak_ptr<PendingSleep> weak = pending;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, weak]() {
        timer->deleteLater();
        if (auto sleep = weak.lock())
            sleep->finish();
    });
    pending->setOnCancel([guard = QPointer<QTimer>(timer)]() {
        if (guard) {
            guard->stop();
            guard->deleteLater();
        }
    });
    pending->setOnRestart([guard = QPointer<QTimer>(timer), duration]() {
        if (guard)
            guard->start(duration);
    });
    timer->start(duration);
    return pending;
}
