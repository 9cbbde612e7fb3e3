#pragma once

#include "sync/DeckState.h"

#include <QCoroTask>

#include <optional>

class ConvexClient;
class ConvexSubscriptionClient;

// What the interface knows about the user's decks: the list and the active
// deck, kept live over the sync connection; the active deck changes through
// one mutation, shown only once the server accepted it. An account change
// empties it at once.
class DeckStateManager : public DeckState {
    Q_OBJECT

public:
    DeckStateManager(ConvexSubscriptionClient &sync, ConvexClient &http, QObject *parent = nullptr);

    const QList<Deck> &decks() const override { return m_decks; }
    std::optional<Deck> activeDeck() const override { return m_activeDeck; }
    bool isLoading() const override { return m_isLoading; }
    std::optional<QString> error() const override { return m_error; }

    // Subscribes to the deck list and the active deck, once per run, then makes
    // sure the connection runs.
    QCoro::Task<void> startSubscriptions();
    // Makes sure the connection runs.
    QCoro::Task<void> load();
    // Asks the server to make `deck` active; returns at once.
    void select(const Deck &deck);

    // The tasks above, started and left to run.
    void startSubscriptionsLater() override;
    void loadLater() override;
    void select(const QString &deckId) override;

private:
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
    bool m_isLoading = false;
    std::optional<QString> m_error;
    bool m_subscriptionsStarted = false;
    quint64 m_accountGeneration = 0;
};
