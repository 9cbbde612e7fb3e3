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
