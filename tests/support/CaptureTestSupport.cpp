#include "CaptureTestSupport.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QtTest>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace CaptureTest {

bool run(const QString &program, const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool lockIsOn(const QString &name)
{
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return false;
    Bool on = False;
    const Atom indicator = XInternAtom(dpy, name.toLatin1().constData(), False);
    XkbGetNamedIndicator(dpy, indicator, nullptr, &on, nullptr, nullptr);
    XCloseDisplay(dpy);
    return on;
}

Helper::~Helper()
{
    if (process && process->state() != QProcess::NotRunning) {
        process->closeWriteChannel();
        process->terminate();
        if (!process->waitForFinished(10000)) {
            process->kill();
            process->waitForFinished(10000);
        }
    }
}

std::unique_ptr<Helper> startHelper(const QString &program, const QStringList &arguments,
                                    const QByteArray &readyLine, const QStringList &extraEnv)
{
    auto helper = std::make_unique<Helper>();
    helper->process = std::make_unique<QProcess>();
    QProcess *process = helper->process.get();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : extraEnv) {
        const int eq = entry.indexOf(u'=');
        env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Helper *raw = helper.get();
    QObject::connect(process, &QProcess::readyReadStandardOutput, process,
                     [raw, process] { raw->output += process->readAllStandardOutput(); });
    process->start(program, arguments);
    QDeadlineTimer deadline(30000);
    while (!raw->output.contains(readyLine) && process->state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        QTest::qWait(20);
    if (!raw->output.contains(readyLine))
        return nullptr;
    return helper;
}

bool inTestSession()
{
    return qEnvironmentVariableIsSet("VOCARTA_SESSION_ROOT") &&
           qEnvironmentVariable("XDG_CONFIG_HOME").startsWith(qEnvironmentVariable("VOCARTA_SESSION_ROOT"));
}

} // namespace CaptureTest
