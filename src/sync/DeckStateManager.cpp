#include "sync/DeckStateManager.h"

#include "backend/ConvexClient.h"
#include "backend/Failure.h"
#include "platform/WhileAlive.h"
#include "sync/ConvexSubscriptionClient.h"

#include <QJsonObject>
#include <QPointer>

#include <functional>

DeckStateManager::DeckStateManager(ConvexSubscriptionClient &sync, ConvexClient &http, QObject *parent)
    : DeckState(parent)
    , m_sync(sync)
    , m_http(http)
{
    connect(&m_sync, &ConvexSubscriptionClient::accountChanged, this, &DeckStateManager::forgetAccount);
}

// The previous account's decks must not stay on show (nor be offered as the
// target of a new card) until the new account's first results arrive.
void DeckStateManager::forgetAccount()
{
    ++m_accountGeneration;
    setDecks({});
    setActiveDeck(std::nullopt);
    setError(std::nullopt);
    // The list has been asked for again and has not arrived yet.
    setLoading(m_subscriptionsStarted);
}

QCoro::Task<void> DeckStateManager::startSubscriptions()
{
    if (m_subscriptionsStarted)
        co_return;
    m_subscriptionsStarted = true;
    setLoading(true);

    // The sync client outlives any deck state; its callbacks hold this one weakly.
    // (Named callbacks: a lambda converted inside a co_await expression is
    // destroyed twice by this compiler.)
    QPointer<DeckStateManager> self(this);
    std::function<void(std::optional<QList<Deck>>)> onDecks = [self](std::optional<QList<Deck>> decks) {
        if (!self)
            return;
        self->setDecks(decks.value_or(QList<Deck>()));
        self->setLoading(false);
    };
    std::function<void(std::optional<Deck>)> onActiveDeck = [self](std::optional<Deck> deck) {
        if (self)
            self->setActiveDeck(std::move(deck));
    };
    co_await whileAlive(this, m_sync.subscribe<QList<Deck>>(QStringLiteral("decks:listDecks"), QJsonObject(),
                                                            std::move(onDecks)));
    co_await whileAlive(this, m_sync.subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), QJsonObject(),
                                                     std::move(onActiveDeck)));
    co_await whileAlive(this, m_sync.startIfNeeded());
}

QCoro::Task<void> DeckStateManager::load()
{
    co_await whileAlive(this, m_sync.startIfNeeded());
}

void DeckStateManager::select(const Deck &deck)
{
    selectTask(deck);
}

void DeckStateManager::select(const QString &deckId)
{
    for (const Deck &deck : std::as_const(m_decks)) {
        if (deck.id() == deckId) {
            select(deck);
            return;
        }
    }
    if (m_activeDeck && m_activeDeck->id() == deckId)
        select(*m_activeDeck);
}

QCoro::Task<void> DeckStateManager::selectTask(Deck deck)
{
    const quint64 generation = m_accountGeneration;
    std::optional<QString> failure;
    try {
        co_await whileAlive(this, m_http.setActiveDeck(deck.id()));
    } catch (const std::exception &error) {
        failure = describe(error);
    }
    if (generation != m_accountGeneration)
        co_return; // the choice was made for the previous account
    if (failure)
        setError(failure);
    else
        setActiveDeck(deck);
}

// A failure to start the connection shows in the sync client's log and its
// reconnection, not here.
void DeckStateManager::startSubscriptionsLater()
{
    QCoro::connect(startSubscriptions(), this, [] {});
}

void DeckStateManager::loadLater()
{
    QCoro::connect(load(), this, [] {});
}

void DeckStateManager::setDecks(QList<Deck> decks)
{
    m_decks = std::move(decks);
    Q_EMIT decksChanged();
}

// Every update is announced, also one that repeats the current deck: the
// server's push after a select() is a second, equal assignment.
void DeckStateManager::setActiveDeck(std::optional<Deck> deck)
{
    m_activeDeck = std::move(deck);
    Q_EMIT activeDeckChanged();
}

void DeckStateManager::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void DeckStateManager::setError(std::optional<QString> error)
{
    m_error = std::move(error);
    Q_EMIT errorChanged();
}
