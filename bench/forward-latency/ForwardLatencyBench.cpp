// How long a later start takes to hand its request to the running copy: this
// program owns the instance name, starts the command (the launcher) with
// `--capture` again and again, and time-stamps the moment each request
// arrives (from just before the process is started) and the moment the
// process has ended. Then the floors on this machine: the program behind the
// launcher starting and leaving at once (`--version`), and a process that
// does nothing (`true`), below which no start can hand anything over.
//
//   bench_forward_latency [runs] [command]
// Run it inside scripts/with-session (a session bus, a display).
#include "BuildConfig.h"
#include "platform/dbus/DBusSingleInstance.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <qcoro/qcorosignal.h>
#include <qcoro/qcorotask.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void print(const char *what, std::vector<double> values)
{
    if (values.empty())
        return;
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[std::min(values.size() - 1, size_t(q * values.size()))]; };
    std::printf("%-28s median %6.1f ms  p90 %6.1f  min %6.1f  max %6.1f  (%zu runs)\n", what, at(0.5),
                at(0.9), values.front(), values.back(), values.size());
}

void printLoad(const char *when)
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (file.open(QIODevice::ReadOnly))
        std::printf("load average %s: %s\n", when,
                    file.readLine().split(' ').mid(0, 3).join(' ').constData());
}

// A process with nothing to hand over, from its start to its end.
QCoro::Task<std::vector<double>> startToEnd(int runs, QString program, QStringList arguments)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        const Clock::time_point start = Clock::now();
        process.start(program, arguments);
        co_await qCoro(&process, &QProcess::finished, std::chrono::seconds(30));
        times.push_back(ms(Clock::now() - start));
    }
    co_return times;
}

QCoro::Task<int> measure(int runs, QString program)
{
    printLoad("before");
    DBusSingleInstance running(QDBusConnection::sessionBus(),
                               QString::fromLatin1(BuildConfig::bundleIdentifier));
    if (co_await running.claim() != SingleInstance::Role::Primary) {
        std::fprintf(stderr, "bench_forward_latency: another copy owns the name\n");
        co_return 1;
    }
    Clock::time_point arrived;
    QObject::connect(&running, &SingleInstance::activated, &running, [&] { arrived = Clock::now(); });
    std::vector<double> delivered, ended;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        arrived = {};
        const Clock::time_point start = Clock::now();
        process.start(program, {QStringLiteral("--capture")});
        co_await qCoro(&process, &QProcess::finished, std::chrono::seconds(30));
        const Clock::time_point end = Clock::now();
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            std::fprintf(stderr, "bench_forward_latency: run %d failed\n", i);
            co_return 1;
        }
        // The answer to the call may reach the process before this loop sees the call.
        if (arrived == Clock::time_point{})
            co_await qCoro(&running, &SingleInstance::activated, std::chrono::seconds(10));
        if (arrived == Clock::time_point{})
            arrived = Clock::now();
        delivered.push_back(ms(arrived - start));
        ended.push_back(ms(end - start));
    }
    print("start -> request delivered", delivered);
    print("start -> process ended", ended);

    // (g++ 12 takes no QStringLiteral in a full expression that suspends.)
    const QStringList versionArguments{QStringLiteral("--version")};
    const std::vector<double> version = co_await startToEnd(runs, program, versionArguments);
    print("start -> ended, --version", version);
    const QString nothing = QStandardPaths::findExecutable(QStringLiteral("true"));
    if (!nothing.isEmpty()) {
        const std::vector<double> floor = co_await startToEnd(runs, nothing, {});
        print("start -> ended, true", floor);
    }
    printLoad("after");
    co_return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    const QString program = argc > 2
                                ? QString::fromLocal8Bit(argv[2])
                                : QCoreApplication::applicationDirPath() + QStringLiteral("/vocarta-menubar");
    int status = 1;
    QTimer::singleShot(0, &app, [&] {
        QCoro::connect(measure(runs, program), &app, [&](int result) {
            status = result;
            QCoreApplication::quit();
        });
    });
    QCoreApplication::exec();
    return status;
}
