#pragma once

#include "platform/Log.h"

#include <QList>
#include <QPair>
#include <QString>

// Captures every line of the logging function while alive.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines(LogChannel channel) const;
    QStringList allLines() const;
    void clear();

private:
    struct State;
    State *m_state;
};
