#pragma once

#include "sync/PendingSleep.h"

#include <chrono>
#include <memory>

// Where the sync client's reconnection waits come from, so tests can drive the
// back-off without waiting for real seconds.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    // Starts a wait; the implementation calls finish() on it when the time is up.
    virtual std::shared_ptr<PendingSleep> sleep(std::chrono::milliseconds duration) = 0;
};
