#pragma once

#include "sync/Clock.h"

class SystemClock : public Clock {
public:
    qint64 millisecondsSinceEpoch() const override;
};
