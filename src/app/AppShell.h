#pragma once

#include "app/CommandLine.h"

#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class AppWindows;
class Autostart;
class ShortcutManager;
class TrayMenu;
#include <QSystemTrayIcon>

// The program's frame: the tray item and its menu, the two windows, the
// start-up sequence and the requests of later starts.
class AppShell : public QObject {
    Q_OBJECT
public:
    // What the shell needs of the other subsystems. The session and the deck
    // state are read through their published properties.
    struct Subsystems {
        QObject *auth = nullptr;
        QObject *deckState = nullptr;
        // Shown and changed on the sign-in window's shortcut section.
        ShortcutManager *shortcuts = nullptr;
        std::function<QCoro::Task<void>()> untilSessionRestored;
        std::function<void()> requestAccessibility;
        std::function<void()> loadAndRegisterShortcut;
        std::function<void()> startUpdater;
        std::function<void()> checkForUpdates;
        bool updatesFromDistribution = false;
        std::function<void()> warmUpOverlay;
        std::function<void()> connectAccountChanges;
        std::function<void()> showAddCard;
        // `activationToken` is what the desktop gave the start that asked, or empty.
        std::function<void(const QString &activationToken)> triggerCapture;
        std::function<void()> quit;
    };
    struct Options {
        // How long a start waits for the desktop's tray to come up.
        std::chrono::milliseconds trayWait = std::chrono::seconds(10);
    };

    AppShell(Subsystems subsystems, Options options, QObject *parent = nullptr);
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

private:
    void handle(const CommandLine &line, const QString &activationToken);
    void createTrayIcon();
    bool isAuthenticated() const;

    Subsystems m_subsystems;
    Options m_options;
    std::unique_ptr<Autostart> m_startAtLogin; // outlives the windows that show it
    std::unique_ptr<AppWindows> m_windows;
    std::unique_ptr<TrayMenu> m_menu;
    QPointer<QSystemTrayIcon> m_tray;
    bool m_started = false;
    std::vector<std::pair<CommandLine, QString>> m_waitingRequests;
};
