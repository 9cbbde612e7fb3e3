#include "BuildConfig.h"
#include "app/AppServices.h"
#include "app/AppShell.h"
#include "app/CommandLine.h"
#include "app/Fonts.h"
#include "platform/SingleInstance.h"
#include "platform/WindowActivation.h"
#include "platform/posix/TerminationSignals.h"
#include "qml/ViewEngine.h"

#include <QApplication>
#include <QEventLoop>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// How long an exit waits for the secret store's writes.
constexpr std::chrono::seconds writesBound{3};

std::chrono::milliseconds trayWait()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VOCARTA_TRAY_WAIT_MS", &ok);
    return ok && ms >= 0 ? std::chrono::milliseconds(ms) : std::chrono::seconds(10);
}

// Becomes the running copy and starts it, or hands this start's request to
// the copy that runs already and leaves.
QCoro::Task<void> run(SingleInstance &instance, CommandLine line, std::unique_ptr<AppServices> &services)
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
        services = std::make_unique<AppServices>(AppShell::Options{trayWait()});
        AppShell &shell = services->shell();
        QObject::connect(&instance, &SingleInstance::activated, &shell, &AppShell::handleArguments);
        QObject::connect(&shell, &AppShell::quitRequested, qApp, &QCoreApplication::quit);
        co_await shell.start(line);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vocarta-menubar: %s\n", e.what());
        QCoreApplication::exit(1);
    }
}

// Lets the secret store finish what it was asked to write (a rotated token
// pair, a sign-out's removal) before the process ends, for at most `bound`:
// the event loop has ended, and the store's answers need one.
void finishPendingWrites(AppServices &services, std::chrono::milliseconds bound)
{
    QEventLoop loop;
    bool finished = false;
    QCoro::connect(services.untilWritesFinished(), &loop, [&] {
        finished = true;
        loop.quit();
    });
    if (finished)
        return;
    QTimer::singleShot(bound, &loop, &QEventLoop::quit);
    loop.exec();
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
    std::unique_ptr<AppServices> services;
    QTimer::singleShot(0, instance.get(), [&] { run(*instance, line, services); });
    const int status = QApplication::exec();
    // However the loop ended (the quit item, SIGTERM, the end of the desktop
    // session), a token pair being written is kept whole; then the objects go
    // in order, while the application object is still there.
    if (services) {
        finishPendingWrites(*services, writesBound);
        services.reset();
    }
    return status;
}
