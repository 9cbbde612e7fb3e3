#pragma once

class DeckState;

// Makes the deck state reachable from QML as the singleton
// Vocarta.Models 1.0 DeckStateManager. Called once at start-up.
void registerSyncQmlTypes(DeckState &deckState);
