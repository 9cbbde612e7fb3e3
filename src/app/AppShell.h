#pragma once

#include "app/CommandLine.h"

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <QCoroTask>

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

class AppWindows;
class Autostart;
class DeckState;
class Session;
class ShortcutManager;
class TrayMenu;

// The program's frame: the tray item and its menu, the two windows, the
// start-up sequence and the requests of later starts.
class AppShell : public QObject {
    Q_OBJECT
public:
    // What the shell starts and asks for in the other subsystems.
    class Subsystems {
    public:
        virtual ~Subsystems() = default;
        // Shown and changed on the sign-in window's shortcut section; null
        // where there is none.
        virtual ShortcutManager *shortcuts() = 0;
        // The launch steps, in this order, once launching has finished.
        virtual void requestAccessibility() = 0;
        virtual void loadAndRegisterShortcut() = 0;
        virtual void startUpdater() = 0;
        virtual void warmUpOverlay() = 0;
        // Requests from the menu and from later starts.
        virtual void showAddCard() = 0;
        // `activationToken` is what the desktop gave the start that asked, or empty.
        virtual void triggerCapture(const QString &activationToken) = 0;
        virtual void checkForUpdates() = 0;
        virtual bool updatesFromDistribution() const = 0;
    };
    struct Options {
        // How long a start waits for the desktop's tray to come up.
        std::chrono::milliseconds trayWait = std::chrono::seconds(10);
    };

    AppShell(Session &session, DeckState &deckState, Subsystems &subsystems, Options options,
             QObject *parent = nullptr);
    ~AppShell() override;

    // The start-up sequence; `first` is this start's own request.
    QCoro::Task<void> start(CommandLine first);
    // A later start's request, forwarded by the single-instance layer.
    void handleArguments(const QStringList &arguments, const QString &activationToken);

    AppWindows &windows() const { return *m_windows; }
    TrayMenu &menu() const { return *m_menu; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }

    static const QString noTrayMessage;

Q_SIGNALS:
    void started();
    // The menu's quit item.
    void quitRequested();

private:
    void handle(const CommandLine &line, const QString &activationToken);
    void createTrayIcon();

    Session &m_session;
    DeckState &m_deckState;
    Subsystems &m_subsystems;
    Options m_options;
    std::unique_ptr<Autostart> m_startAtLogin; // outlives the windows that show it
    std::unique_ptr<AppWindows> m_windows;
    std::unique_ptr<TrayMenu> m_menu;
    QPointer<QSystemTrayIcon> m_tray;
    bool m_started = false;
    std::vector<std::pair<CommandLine, QString>> m_waitingRequests;
};
