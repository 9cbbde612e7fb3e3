#pragma once

#include "sync/Sleeper.h"

#include <QObject>

// Real waits on the event loop's timers.
class TimerSleeper : public Sleeper {
public:
    std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) override;

private:
    QObject m_timers; // parent of the running timers, so none outlives the sleeper
};
