#include "sync/DeckStateManager.h"

#include "backend/ConvexClient.h"
#include "backend/Failure.h"
#include "sync/ConvexSubscriptionClient.h"

#include <QJsonObject>
#include <QPointer>

#include <functional>

DeckStateManager &DeckStateManager::shared()
{
    static auto *instance = new DeckStateManager(ConvexSubscriptionClient::shared(), ConvexClient::shared());
    return *instance;
}

DeckStateManager::DeckStateManager(ConvexSubscriptionClient &sync, ConvexClient &http, QObject *parent)
    : QObject(parent)
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
    co_await m_sync.subscribe<QList<Deck>>(QStringLiteral("decks:listDecks"), QJsonObject(),
                                           std::move(onDecks));
    co_await m_sync.subscribe<Deck>(QStringLiteral("decks:getActiveDeck"), QJsonObject(),
                                    std::move(onActiveDeck));
    co_await m_sync.startIfNeeded();
}

QCoro::Task<void> DeckStateManager::load()
{
    co_await m_sync.startIfNeeded();
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
    QPointer<DeckStateManager> self(this);
    const quint64 generation = m_accountGeneration;
    std::optional<QString> failure;
    try {
        co_await m_http.setActiveDeck(deck.id());
    } catch (const Failure &error) {
        failure = error.description();
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    if (!self || generation != m_accountGeneration)
        co_return; // gone, or the choice was made for the previous account
    if (failure)
        setError(failure);
    else
        setActiveDeck(deck);
}

void DeckStateManager::startSubscriptionsLater()
{
    [](QPointer<DeckStateManager> self) -> QCoro::Task<void> {
        try {
            if (self)
                co_await self->startSubscriptions();
        } catch (...) {
        }
    }(this);
}

void DeckStateManager::loadLater()
{
    [](QPointer<DeckStateManager> self) -> QCoro::Task<void> {
        try {
            if (self)
                co_await self->load();
        } catch (...) {
        }
    }(this);
}

QVariantList DeckStateManager::decksForQml() const
{
    QVariantList list;
    list.reserve(m_decks.size());
    for (const Deck &deck : m_decks)
        list.append(QVariant::fromValue(deck));
    return list;
}

QVariant DeckStateManager::activeDeckForQml() const
{
    return m_activeDeck ? QVariant::fromValue(*m_activeDeck) : QVariant();
}

void DeckStateManager::setDecks(QList<Deck> decks)
{
    m_decks = std::move(decks);
    m_deckList.setDecks(m_decks);
    Q_EMIT decksChanged();
}

// Every update is announced, also one that repeats the current deck: the
// server's push after a select() is a second, equal assignment.
void DeckStateManager::setActiveDeck(std::optional<Deck> deck)
{
    m_activeDeck = std::move(deck);
    m_deckList.setActiveId(m_activeDeck ? m_activeDeck->_id : QString());
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
