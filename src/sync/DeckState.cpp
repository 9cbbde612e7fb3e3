#include "sync/DeckState.h"

DeckState::DeckState(QObject *parent)
    : QObject(parent)
{
    // Connected first, so whoever watches the signals finds the list current.
    connect(this, &DeckState::decksChanged, &m_deckList, [this] { m_deckList.setDecks(decks()); });
    connect(this, &DeckState::activeDeckChanged, &m_deckList, [this] {
        const std::optional<Deck> deck = activeDeck();
        m_deckList.setActiveId(deck ? deck->_id : QString());
    });
}

QVariantList DeckState::decksForQml() const
{
    QVariantList list;
    list.reserve(decks().size());
    for (const Deck &deck : decks())
        list.append(QVariant::fromValue(deck));
    return list;
}

QVariant DeckState::activeDeckForQml() const
{
    const std::optional<Deck> deck = activeDeck();
    return deck ? QVariant::fromValue(*deck) : QVariant();
}
