#include "DevLog.h"

#include <QDateTime>

#include <cstdio>

namespace {
std::function<void(const QString &)> &sink()
{
    static std::function<void(const QString &)> s;
    return s;
}
} // namespace

void devLog(const QString &line)
{
    if (sink()) {
        sink()(line);
        return;
    }
    const QString stamped =
        QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")) + u' ' + line;
    std::fputs(stamped.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void setDevLogSink(std::function<void(const QString &)> s)
{
    sink() = std::move(s);
}
