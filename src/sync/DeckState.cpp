#include "sync/DeckState.h"

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
