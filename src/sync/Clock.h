#pragma once

#include <QtGlobal>

// Where the sync client reads the wall-clock time it reports to the server.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since 1970-01-01 UTC.
    virtual qint64 millisecondsSinceEpoch() const = 0;
};
