#pragma once

#include "backend/Deck.h"
#include "sync/DeckListModel.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <QCoroTask>

#include <optional>

class ConvexClient;
class ConvexSubscriptionClient;

// What the interface knows about the user's decks: the list and the active
// deck, kept live over the sync connection; the active deck changes through
// one mutation, shown only once the server accepted it. An account change
// empties it at once.
class DeckStateManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList decks READ decksForQml NOTIFY decksChanged)
    Q_PROPERTY(QVariant activeDeck READ activeDeckForQml NOTIFY activeDeckChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString error READ errorForQml NOTIFY errorChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorChanged)
    // The decks as the settings list shows them.
    Q_PROPERTY(DeckListModel *deckList READ deckList CONSTANT)

public:
    static DeckStateManager &shared();

    DeckStateManager(ConvexSubscriptionClient &sync, ConvexClient &http, QObject *parent = nullptr);

    const QList<Deck> &decks() const { return m_decks; }
    std::optional<Deck> activeDeck() const { return m_activeDeck; }
    bool isLoading() const { return m_isLoading; }
    std::optional<QString> error() const { return m_error; }
    bool hasError() const { return m_error.has_value(); }
    DeckListModel *deckList() { return &m_deckList; }

    // Subscribes to the deck list and the active deck, once per run, then makes
    // sure the connection runs.
    QCoro::Task<void> startSubscriptions();
    // Makes sure the connection runs.
    QCoro::Task<void> load();
    // Asks the server to make `deck` active; returns at once.
    void select(const Deck &deck);

    // For QML: start the tasks above and return.
    Q_INVOKABLE void startSubscriptionsLater();
    Q_INVOKABLE void loadLater();
    // Picks a deck the state knows (from the list or the active deck) by its id.
    Q_INVOKABLE void select(const QString &deckId);

Q_SIGNALS:
    void decksChanged();
    void activeDeckChanged();
    void isLoadingChanged();
    void errorChanged();

private:
    QVariantList decksForQml() const;
    QVariant activeDeckForQml() const;
    QString errorForQml() const { return m_error.value_or(QString()); }

    void forgetAccount();
    QCoro::Task<void> selectTask(Deck deck);
    void setDecks(QList<Deck> decks);
    void setActiveDeck(std::optional<Deck> deck);
    void setLoading(bool loading);
    void setError(std::optional<QString> error);

    ConvexSubscriptionClient &m_sync;
    ConvexClient &m_http;
    QList<Deck> m_decks;
    std::optional<Deck> m_activeDeck;
    DeckListModel m_deckList{this};
    bool m_isLoading = false;
    std::optional<QString> m_error;
    bool m_subscriptionsStarted = false;
    quint64 m_accountGeneration = 0;
};
