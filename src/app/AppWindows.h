#pragma once

#include <QObject>
#include <QPointer>

#include <QQuickWindow>

class DeckState;
class QQmlEngine;
class Session;
class ShortcutManager;

// The program's two ordinary windows, each created once and then shown,
// raised and activated whenever asked for:
// - "auth" ("Vocarta Settings", 420 x 525): sign-in and the first-run pages,
//   centred on its first showing;
// - the settings window (420 x 320): account and decks tabs.
// Ctrl+, in any of the program's windows opens the settings window.
class AppWindows : public QObject {
    Q_OBJECT
public:
    // The windows' views are loaded with `engine` and shown the session, the
    // deck state and the shortcut manager (null where there is none).
    AppWindows(QQmlEngine &engine, Session &session, DeckState &deckState,
               ShortcutManager *shortcuts = nullptr, QObject *parent = nullptr);
    ~AppWindows() override;

    void openAuthWindow(const QString &activationToken = {});
    void openSettingsWindow(const QString &activationToken = {});
    // The start-at-login switch's state; without one the switch is not shown.
    void setStartAtLogin(QObject *setting) { m_startAtLogin = setting; }

    QQuickWindow *authWindow() const { return m_auth; }
    QQuickWindow *settingsWindow() const { return m_settings; }

Q_SIGNALS:
    void settingsWindowOpened();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QQuickWindow *create(const QString &file, const QVariantMap &properties);
    void present(QQuickWindow *window, const QString &activationToken, bool centre);

    QQmlEngine &m_engine;
    Session &m_session;
    DeckState &m_deckState;
    QPointer<ShortcutManager> m_shortcuts;
    QPointer<QObject> m_startAtLogin;
    QPointer<QQuickWindow> m_auth;
    QPointer<QQuickWindow> m_settings;
};
