#pragma once

#include "sync/ConvexSubscriptionClient.h"
#include "sync/PendingSleep.h"
#include "sync/Sleeper.h"

#include <QList>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

// Waits that end only when the test says so, so back-off can be followed step
// by step; every requested wait is kept for inspection.
class ManualSleeper : public Sleeper {
public:
    std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) override
    {
        auto pending = std::make_shared<PendingSleep>(duration);
        requested->append(pending);
        return pending;
    }
    // The waits not yet over (neither finished nor cancelled).
    QList<std::shared_ptr<PendingSleep>> running() const
    {
        QList<std::shared_ptr<PendingSleep>> result;
        for (const auto &sleep : *requested)
            if (!sleep->isOver())
                result.append(sleep);
        return result;
    }
    // Shared so the test keeps the list after handing the sleeper to the client.
    std::shared_ptr<QList<std::shared_ptr<PendingSleep>>> requested =
        std::make_shared<QList<std::shared_ptr<PendingSleep>>>();
};

// Every reconnection wait ends on the next turn of the event loop. The
// silence watchdog's minute (longer than any back-off) never ends by itself:
// tests of it drive the watchdog by hand.
class ImmediateSleeper : public Sleeper {
public:
    std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) override
    {
        requested->append(duration);
        auto pending = std::make_shared<PendingSleep>(duration);
        if (duration >= ConvexSubscriptionClient::defaultSilenceLimit)
            return pending;
        std::weak_ptr<PendingSleep> weak = pending;
        QTimer::singleShot(0, [weak]() {
            if (auto sleep = weak.lock())
                sleep->finish();
        });
        return pending;
    }
    // Every wait asked for, in order; shared so the test keeps the list after
    // handing the sleeper to the client.
    std::shared_ptr<QList<std::chrono::milliseconds>> requested =
        std::make_shared<QList<std::chrono::milliseconds>>();
};

// Waits on a simulated clock: nothing ends by itself; advance() ends the
// earliest wait, moving the clock to its end, so a test can play out a minute
// of reconnections without waiting for it.
class SimulatedTime : public Sleeper {
public:
    std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) override
    {
        auto pending = std::make_shared<PendingSleep>(duration);
        state->waits.append({state->now + duration, pending});
        pending->setOnRestart([weakState = std::weak_ptr<State>(state), sleep = pending.get(), duration]() {
            if (const auto live = weakState.lock()) {
                for (Wait &wait : live->waits)
                    if (wait.sleep.get() == sleep)
                        wait.end = live->now + duration;
            }
        });
        return pending;
    }
    // The end of the earliest wait still running, if any.
    std::optional<std::chrono::milliseconds> nextEnd() const
    {
        std::optional<std::chrono::milliseconds> earliest;
        for (const auto &wait : std::as_const(state->waits))
            if (!wait.sleep->isOver() && (!earliest || wait.end < *earliest))
                earliest = wait.end;
        return earliest;
    }
    // Ends the earliest running wait if it ends by `limit`; false when none does.
    bool advance(std::chrono::milliseconds limit)
    {
        const auto end = nextEnd();
        if (!end || *end > limit)
            return false;
        state->now = *end;
        for (const auto &wait : std::as_const(state->waits)) {
            if (!wait.sleep->isOver() && wait.end == *end) {
                wait.sleep->finish();
                break;
            }
        }
        return true;
    }
    std::chrono::milliseconds now() const { return state->now; }
    // The waits still running.
    QList<std::shared_ptr<PendingSleep>> running() const
    {
        QList<std::shared_ptr<PendingSleep>> result;
        for (const auto &wait : std::as_const(state->waits))
            if (!wait.sleep->isOver())
                result.append(wait.sleep);
        return result;
    }

    struct Wait {
        std::chrono::milliseconds end;
        std::shared_ptr<PendingSleep> sleep;
    };
    struct State {
        std::chrono::milliseconds now{0};
        QList<Wait> waits;
    };
    // Shared so the test keeps it after handing the sleeper over.
    std::shared_ptr<State> state = std::make_shared<State>();
};
