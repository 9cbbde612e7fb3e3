#include "TestSupport.h"

#include <mutex>

struct LogCapture::State {
    mutable std::mutex mutex;
    QList<QPair<LogChannel, QString>> lines;
};

LogCapture::LogCapture()
    : m_state(new State)
{
    State *state = m_state;
    setLogSink([state](LogChannel channel, const QString &line) {
        std::lock_guard lock(state->mutex);
        state->lines.append({channel, line});
    });
}

LogCapture::~LogCapture()
{
    setLogSink({});
    delete m_state;
}

QStringList LogCapture::lines(LogChannel channel) const
{
    std::lock_guard lock(m_state->mutex);
    QStringList result;
    for (const auto &entry : m_state->lines)
        if (entry.first == channel)
            result.append(entry.second);
    return result;
}

QStringList LogCapture::allLines() const
{
    std::lock_guard lock(m_state->mutex);
    QStringList result;
    for (const auto &entry : m_state->lines)
        result.append(entry.second);
    return result;
}

void LogCapture::clear()
{
    std::lock_guard lock(m_state->mutex);
    m_state->lines.clear();
}
