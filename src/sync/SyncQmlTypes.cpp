#include "sync/SyncQmlTypes.h"

#include "sync/DeckState.h"

#include <QQmlEngine>

void registerSyncQmlTypes(DeckState &deckState)
{
    qRegisterMetaType<Deck>();
    qmlRegisterSingletonInstance("Vocarta.Models", 1, 0, "DeckStateManager", &deckState);
}
