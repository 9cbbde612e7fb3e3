#include "sync/SyncQmlTypes.h"

#include "sync/DeckStateManager.h"

#include <QQmlEngine>

void registerSyncQmlTypes()
{
    qRegisterMetaType<Deck>();
    qmlRegisterSingletonInstance("Vocarta.Models", 1, 0, "DeckStateManager", &DeckStateManager::shared());
}
