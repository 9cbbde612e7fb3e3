#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// Helpers shared by the capture suites.
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

// True inside scripts/with-session (throwaway HOME and XDG directories).
bool inTestSession();

} // namespace CaptureTest
