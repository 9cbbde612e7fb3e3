#pragma once

#include "backend/Deck.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class DeckState;
class QAction;
class QMenu;
class Session;

// The tray item's menu. It keeps no state of its own: every change of the
// session's isAuthenticated or the deck state's decks, activeDeck and isLoading
// rebuilds the QMenu in place (also while it is open). What lies outside the
// session and the deck state (windows, the overlay, updates, quitting) it asks
// for through its signals.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    // Distribution packages update through the package manager: the update
    // item then says so and does nothing.
    TrayMenu(Session &session, DeckState &deckState, bool updatesFromDistribution = false,
             QObject *parent = nullptr);
    ~TrayMenu() override;

    QMenu *menu() const;

    static QString statusLine(const std::optional<Deck> &activeDeck, bool isLoading);
    // Texts in the user's language: called after the translator is installed,
    // never at static initialisation.
    static QString noActiveDeckText();
    // The signed-out menu's first item; the overlay names it when it cannot work.
    static QString signInItemText();

Q_SIGNALS:
    void rebuilt();
    // Open the "auth" window and bring it to the front.
    void authWindowRequested();
    // The overlay, with no prefilled text.
    void addCardRequested();
    void updateCheckRequested();
    void quitRequested();

private:
    void onAuthChanged();
    void rebuild();
    void buildSignedOut();
    void buildSignedIn();
    void onAboutToShow();
    QAction *addItem(const QString &text, std::function<void()> action);

    Session &m_session;
    DeckState &m_deckState;
    const bool m_updatesFromDistribution;
    std::unique_ptr<QMenu> m_menu;
    bool m_wasAuthenticated = false;
};
