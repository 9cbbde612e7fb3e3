#include "BuildConfig.h"
#include "app/AppServices.h"
#include "app/AppShell.h"
#include "app/CommandLine.h"
#include "app/Fonts.h"
#include "app/OrderlyQuit.h"
#include "app/Translations.h"
#include "backend/Failure.h"
#include "launcher/HandOverMarker.h"
#include "platform/SessionPlatform.h"
#include "platform/SingleInstance.h"
#include "platform/WindowActivation.h"
#include "platform/posix/TerminationSignals.h"
#include "qml/ViewEngine.h"

#include <QApplication>
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

QString instanceName()
{
    return QString::fromLatin1(BuildConfig::bundleIdentifier);
}

void reportUndelivered()
{
    std::fprintf(stderr, "vocarta-menubar: the running copy did not answer\n");
}

// Becomes the running copy and starts it, or, when another start claimed
// the name in the meantime, hands this start's request to it and leaves.
QCoro::Task<void> run(SingleInstance &instance, CommandLine line, std::unique_ptr<AppServices> &services,
                      OrderlyQuit &quit)
{
    try {
        const SingleInstance::Role role = co_await instance.claim();
        if (role == SingleInstance::Role::Secondary) {
            const SingleInstance::Delivery delivery =
                co_await instance.forward(line.arguments, WindowActivation::tokenFromEnvironment());
            const bool delivered = delivery == SingleInstance::Delivery::Delivered;
            if (!delivered)
                reportUndelivered();
            QCoreApplication::exit(delivered ? 0 : 1);
            co_return;
        }
        // Unavailable (no bus, no private socket): run on our own rather than not at all.
        services = std::make_unique<AppServices>(AppShell::Options{trayWait()});
        quit.setWrites([&services] { return services->untilWritesFinished(); });
        AppShell &shell = services->shell();
        QObject::connect(&instance, &SingleInstance::activated, &shell, &AppShell::handleArguments);
        QObject::connect(&shell, &AppShell::quitRequested, &quit, &OrderlyQuit::request);
        co_await shell.start(line);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vocarta-menubar: %s\n", qPrintable(logText(e)));
        QCoreApplication::exit(1);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Whatever this program starts must not take the launcher's word for it.
    const bool launcherFoundNoCopy = HandOverMarker::take();
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

    // A start that finds a copy running only hands its request over: that
    // needs the bus, not the display, the fonts or the platform plugin. The
    // launcher has done so already for the requests it forwards itself.
    if (!launcherFoundNoCopy) {
        switch (SingleInstance::forwardBeforeApplication(instanceName(), line.arguments,
                                                         WindowActivation::tokenFromEnvironment())) {
        case SingleInstance::Delivery::Delivered:
            return 0;
        case SingleInstance::Delivery::Failed:
            reportUndelivered();
            return 1;
        case SingleInstance::Delivery::NoCopy:
            break; // this start becomes the running copy
        }
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
    const bool platformChosen = SessionPlatform::choose();
    QApplication app(qtArgc, argv);
    // The programs we start (the browser, the desktop's tools) make their own choice.
    if (platformChosen)
        qunsetenv("QT_QPA_PLATFORM");
    QApplication::setApplicationName(QStringLiteral("vocarta-menubar"));
    QApplication::setApplicationVersion(QString::fromLatin1(BuildConfig::version));
    QApplication::setOrganizationName(QStringLiteral("vocarta"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Before anything shows or composes a text: the menu, the views and the
    // messages all take theirs from the translators.
    Translations::install(app);

    registerFonts();

    OrderlyQuit quit(writesBound);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &quit, &OrderlyQuit::request);

    const auto instance = SingleInstance::create(instanceName());
    std::unique_ptr<AppServices> services;
    QTimer::singleShot(0, instance.get(), [&] { run(*instance, line, services, quit); });
    const int status = QApplication::exec();
    // The objects go in order, while the application object is still there.
    services.reset();
    return status;
}
