#pragma once

#include "tray/DeckFields.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QMenu;

// The tray item's menu. It keeps no state of its own: every change of the
// session's isAuthenticated or the deck state's decks, activeDeck and isLoading
// rebuilds the QMenu in place (also while it is open).
//
// The session and the deck state are read through their published properties
// and called through their invokables (signOut, select, loadLater,
// startSubscriptionsLater), so any object with those members can stand in.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> openAuthWindow; // open the "auth" window and bring it to the front
        std::function<void()> showAddCard;    // the overlay, with no prefilled text
        std::function<void()> checkForUpdates;
        std::function<void()> quit;
        // Distribution packages update through the package manager: the update
        // item then says so and does nothing.
        bool updatesFromDistribution = false;
    };

    TrayMenu(QObject *auth, QObject *deckState, Actions actions, QObject *parent = nullptr);
    ~TrayMenu() override;

    QMenu *menu() const;

    static QString statusLine(const std::optional<DeckFields> &activeDeck, bool isLoading);
    static const QString noActiveDeckText;
    // The signed-out menu's first item; the overlay names it when it cannot work.
    static const QString signInItemText;

Q_SIGNALS:
    void rebuilt();

private Q_SLOTS:
    void onDeckStateChanged();
    void onAuthChanged();

private:
    void rebuild();
    void buildSignedOut();
    void buildSignedIn();
    void startSubscriptions();
    void onAboutToShow();
    bool isAuthenticated() const;
    QAction *addItem(const QString &text, std::function<void()> action);

    QPointer<QObject> m_auth;
    QPointer<QObject> m_deckState;
    Actions m_actions;
    std::unique_ptr<QMenu> m_menu;
    bool m_wasAuthenticated = false;
};
