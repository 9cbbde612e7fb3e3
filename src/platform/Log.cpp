#include "platform/Log.h"

#include <QByteArray>
#include <QFileInfo>

#include <cstdio>
#include <ctime>
#include <mutex>

#include <systemd/sd-journal.h>

Q_LOGGING_CATEGORY(lcSecrets, "vocarta.secrets")
Q_LOGGING_CATEGORY(lcShell, "vocarta.shell")
Q_LOGGING_CATEGORY(lcTiming, "vocarta.timing", QtInfoMsg)

namespace {

std::mutex sinkMutex;
LogSink installedSink;

bool journalAvailable()
{
    static const bool available = QFileInfo::exists(QStringLiteral("/run/systemd/journal/socket"));
    return available;
}

void writeDefault(LogChannel channel, const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    if (channel == LogChannel::Shell) {
        std::fprintf(stdout, "%s\n", bytes.constData());
        std::fflush(stdout);
        return;
    }
    if (channel == LogChannel::Warning) {
        std::fprintf(stderr, "%s\n", bytes.constData());
        return;
    }
    if (journalAvailable()) {
        sd_journal_send("MESSAGE=%s", bytes.constData(), "SYSLOG_IDENTIFIER=vocarta-menubar", "PRIORITY=6",
                        nullptr);
        return;
    }
    std::fprintf(stderr, "%s\n", bytes.constData());
}

} // namespace

void logLine(LogChannel channel, const QString &line)
{
    LogSink sink;
    {
        std::lock_guard lock(sinkMutex);
        sink = installedSink;
    }
    if (sink) {
        sink(channel, line);
        return;
    }
    writeDefault(channel, line);
}

void logLine(const QLoggingCategory &category, const QString &line)
{
    if (category.isWarningEnabled())
        logLine(LogChannel::Warning, line);
}

void setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex);
    installedSink = std::move(sink);
}

void logTimingStep(const char *step)
{
    if (!lcTiming().isDebugEnabled())
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    qCDebug(lcTiming, "at %lld us: %s", static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000,
            step);
}
