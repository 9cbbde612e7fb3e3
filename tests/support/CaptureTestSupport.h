#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Helpers of the suites that press keys and select text on the test display.
namespace CaptureTest {

// Runs xdotool (or another X tool) to completion; true on success.
bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr);
inline bool xdotool(const QStringList &arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

// Whether a keyboard lock indicator ("Num Lock", "Caps Lock") is on.
bool lockIsOn(const QString &name);

// A helper program started for a test; ended by PID when dropped.
struct Helper {
    std::unique_ptr<QProcess> process;
    QByteArray output;
    ~Helper();
};

// Starts `program` and waits (bounded) for it to print "ready" or `readyLine`.
std::unique_ptr<Helper> startHelper(const QString &program, const QStringList &arguments,
                                    const QByteArray &readyLine = "ready", const QStringList &extraEnv = {});

// Runs a task to completion while the event loop turns; absent if it did not
// finish within 30 s.
template <class T> std::optional<T> await(QCoro::Task<T> task)
{
    std::optional<T> result;
    bool done = false;
    QCoro::connect(std::move(task), qApp, [&](T value) {
        result = std::move(value);
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 30000))
        return std::nullopt;
    return result;
}

// True inside scripts/with-session (throwaway HOME and XDG directories).
bool inTestSession();

} // namespace CaptureTest
