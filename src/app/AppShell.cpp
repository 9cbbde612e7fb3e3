#include "app/AppShell.h"

#include "app/AppWindows.h"
#include "app/LauncherPath.h"
#include "auth/Session.h"
#include "platform/Autostart.h"
#include "platform/Log.h"
#include "platform/TrayHost.h"
#include "platform/WhileAlive.h"
#include "platform/WindowActivation.h"
#include "qml/ViewEngine.h"
#include "sync/DeckState.h"
#include "tray/TrayMenu.h"

#include <QCoreApplication>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <utility>

const QString AppShell::noTrayMessage =
    QStringLiteral("[Vocarta] No system tray on this desktop: the window stays open instead; run "
                   "\"vocarta-menubar\" again to bring it back.");

AppShell::AppShell(Session &session, DeckState &deckState, Subsystems &subsystems, Options options,
                   QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_deckState(deckState)
    , m_subsystems(subsystems)
    , m_options(options)
    , m_windows(
          std::make_unique<AppWindows>(ViewEngine::shared(), session, deckState, subsystems.shortcuts()))
{
}

AppShell::~AppShell()
{
    delete m_tray;
}

void AppShell::createTrayIcon()
{
    // Installed, the one-colour icon from the theme, which panels recolour to
    // suit light and dark; from the build tree, the drawing compiled in.
    m_tray = new QSystemTrayIcon(QIcon::fromTheme(QStringLiteral("me.brindlefox.vocarta.menubar-symbolic"),
                                                  QIcon(QStringLiteral(":/icons/vocarta-menubar-tray.svg"))));
    m_tray->setToolTip(QStringLiteral("Vocarta Menubar"));
    m_tray->setContextMenu(m_menu->menu());
    // Every action lives in the menu, so a plain click opens it too.
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::MiddleClick)
            m_menu->menu()->popup(QCursor::pos());
    });
    m_tray->show();
}

QCoro::Task<void> AppShell::start(CommandLine first)
{
    m_startAtLogin = Autostart::create(LauncherPath::find());
    m_windows->setStartAtLogin(m_startAtLogin.get());

    m_menu = std::make_unique<TrayMenu>(m_session, m_deckState, m_subsystems.updatesFromDistribution());
    connect(m_menu.get(), &TrayMenu::authWindowRequested, this, [this] { m_windows->openAuthWindow(); });
    connect(m_menu.get(), &TrayMenu::addCardRequested, this, [this] { m_subsystems.showAddCard(); });
    connect(m_menu.get(), &TrayMenu::updateCheckRequested, this, [this] { m_subsystems.checkForUpdates(); });
    connect(m_menu.get(), &TrayMenu::quitRequested, this, &AppShell::quitRequested);

    // Launching has finished. No taskbar entry: the program has no window
    // open and Qt keeps running without one (quitOnLastWindowClosed is off).
    m_subsystems.requestAccessibility(); // the answer matters only when reading a selection
    m_subsystems.loadAndRegisterShortcut();
    m_subsystems.startUpdater();
    m_subsystems.warmUpOverlay();

    // The windows exist: requests run now, whether or not the keyring has
    // answered (it may wait on an unlock prompt for as long as the user
    // likes); the session follows when it does.
    const QString token =
        first.outcome == CommandLine::Outcome::Run ? WindowActivation::tokenFromEnvironment() : QString();
    m_started = true;
    if (first.request != CommandLine::Request::Activate)
        handle(first, token);
    // Later starts that came while this one was under way, in their order.
    const auto waiting = std::exchange(m_waitingRequests, {});
    for (const auto &[line, activationToken] : waiting)
        handle(line, activationToken);

    // The tray item. At a login start the panel may come up after us; the
    // launch steps above did not wait for it, only the icon does.
    bool trayAvailable = co_await whileAlive(this, TrayHost::isAvailable());
    if (trayAvailable)
        createTrayIcon();

    co_await whileAlive(this, m_session.untilRestored());
    if (m_session.isAuthenticated()) {
        // Started from the event loop, after this step has returned.
        QTimer::singleShot(0, &m_deckState, &DeckState::startSubscriptionsLater);
    }

    // The tray item's first appearance: a signed-out user sees the sign-in
    // window once per start, except at login, where only the tray item comes.
    const bool openedForSignIn =
        !m_session.isAuthenticated() && first.request != CommandLine::Request::Autostart;
    if (openedForSignIn)
        m_windows->openAuthWindow(token);

    if (!trayAvailable) {
        trayAvailable = co_await whileAlive(this, TrayHost::waitForHost(m_options.trayWait));
        if (trayAvailable) {
            createTrayIcon();
        } else {
            // Without a tray the window is the only way in.
            logLine(LogChannel::Shell, noTrayMessage);
            if (!openedForSignIn)
                m_windows->openAuthWindow(token);
        }
    }
    Q_EMIT started();
}

void AppShell::handleArguments(const QStringList &arguments, const QString &activationToken)
{
    const CommandLine line = CommandLine::parse(arguments);
    if (line.outcome != CommandLine::Outcome::Run)
        return;
    // The other process has already been told its request arrived: keep it
    // until the windows are ready.
    if (!m_started) {
        m_waitingRequests.emplace_back(line, activationToken);
        return;
    }
    handle(line, activationToken);
}

void AppShell::handle(const CommandLine &line, const QString &activationToken)
{
    switch (line.request) {
    case CommandLine::Request::Activate:
        m_windows->openAuthWindow(activationToken);
        break;
    case CommandLine::Request::Preferences:
        m_windows->openSettingsWindow(activationToken);
        break;
    case CommandLine::Request::Capture:
        m_subsystems.triggerCapture(activationToken);
        break;
    case CommandLine::Request::Autostart:
        break; // already running
    case CommandLine::Request::OpenUrl:
        m_session.handleCallbackUrl(line.url);
        break;
    }
}
