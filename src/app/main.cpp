#include "BuildConfig.h"
#include "app/AppShell.h"
#include "app/CommandLine.h"
#include "app/Fonts.h"
#include "app/SubsystemLinks.h"
#include "platform/SingleInstance.h"
#include "platform/WindowActivation.h"
#include "platform/posix/TerminationSignals.h"
#include "qml/ViewEngine.h"

#include <QApplication>
#include <QPointer>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

std::chrono::milliseconds trayWait()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VOCARTA_TRAY_WAIT_MS", &ok);
    return ok && ms >= 0 ? std::chrono::milliseconds(ms) : std::chrono::seconds(10);
}

// Becomes the running copy and starts it, or hands this start's request to
// the copy that runs already and leaves.
QCoro::Task<void> run(SingleInstance &instance, CommandLine line)
{
    try {
        const SingleInstance::Role role = co_await instance.claim();
        if (role == SingleInstance::Role::Secondary) {
            const bool delivered =
                co_await instance.forward(line.arguments, WindowActivation::tokenFromEnvironment());
            if (!delivered)
                std::fprintf(stderr, "vocarta-menubar: the running copy did not answer\n");
            QCoreApplication::exit(delivered ? 0 : 1);
            co_return;
        }
        // Unavailable (no bus, no socket): run on our own rather than not at all.
        // The session and the other long-lived objects come into being only
        // here: a second start must not restore (and refresh) the session too.
        static AppShell shell(linkSubsystems(), AppShell::Options{trayWait()});
        QObject::connect(&instance, &SingleInstance::activated, &shell, &AppShell::handleArguments);
        co_await shell.start(line);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vocarta-menubar: %s\n", e.what());
        QCoreApplication::exit(1);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.outcome) {
    case CommandLine::Outcome::PrintHelp:
        std::fputs(qPrintable(CommandLine::usage()), stdout);
        return 0;
    case CommandLine::Outcome::PrintVersion:
        std::printf("vocarta-menubar %s\n", BuildConfig::version);
        return 0;
    case CommandLine::Outcome::UsageError:
        std::fprintf(stderr, "vocarta-menubar: %s\n\n%s", qPrintable(line.error),
                     qPrintable(CommandLine::usage()));
        return 2;
    case CommandLine::Outcome::Run:
        break;
    }

    // Qt's own options are not ours to accept: keep its argument parsing out.
    int qtArgc = 1;
    // The overlay's window is translucent: every window's alpha channel has
    // to be asked for before the first one is made.
    QQuickWindow::setDefaultAlphaBuffer(true);
    ViewEngine::selectDefaultSceneGraph();
    // Before the application object: the portal and the platform integration
    // read it while they start.
    QApplication::setDesktopFileName(QString::fromLatin1(BuildConfig::bundleIdentifier));
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("vocarta-menubar"));
    QApplication::setApplicationVersion(QString::fromLatin1(BuildConfig::version));
    QApplication::setOrganizationName(QStringLiteral("vocarta"));
    QApplication::setQuitOnLastWindowClosed(false);

    registerFonts();

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app,
                     [] { QApplication::quit(); });

    const auto instance = SingleInstance::create(QString::fromLatin1(BuildConfig::bundleIdentifier));
    QTimer::singleShot(0, instance.get(), [&] { run(*instance, line); });
    const int status = QApplication::exec();
    // The process-wide objects live for the whole run and are never torn
    // down: several own windows that must not outlive the application object
    // in static destructors. Leave without running them.
    std::fflush(nullptr);
    std::_Exit(status);
}
