#include "app/SubsystemLinks.h"

#include "auth/AuthManager.h"
#include "capture/SelectedTextReader.h"
#include "capture/ShortcutManager.h"
#include "overlay/AddCardOverlayContent.h" // AddCardPanelController.h holds a QPointer to it
#include "overlay/AddCardPanelController.h"
#include "sync/ConvexSubscriptionClient.h"
#include "sync/DeckStateManager.h"
#include "update/Updater.h"

#include <QApplication>
#include <QVariant>

AppShell::Subsystems linkSubsystems()
{
    AuthManager &session = AuthManager::shared();
    AppShell::Subsystems s;
    s.auth = &session;
    s.untilSessionRestored = [&session] { return session.untilRestored(); };
    s.connectAccountChanges = [&session] {
        // A sign-in or sign-out must not leave the live connection serving the
        // previous account's decks.
        QObject::connect(&session, &AuthManager::accountChanged, &ConvexSubscriptionClient::shared(),
                         &ConvexSubscriptionClient::reconnectForAccountChange);
    };
    AddCardPanelController::shared().setSessionCheck([&session] { return session.isAuthenticated(); });
    s.deckState = &DeckStateManager::shared();
    s.shortcuts = &ShortcutManager::shared();
    s.requestAccessibility = [] { SelectedTextReader::requestAccessibility(); };
    s.loadAndRegisterShortcut = [] { ShortcutManager::shared().loadAndRegister(); };
    s.triggerCapture = [](const QString &token) { ShortcutManager::shared().triggerCapture(token); };
    s.startUpdater = [] { Updater::shared(); };
    s.checkForUpdates = [] { Updater::shared().checkForUpdates(); };
    s.updatesFromDistribution = Updater::buildConfig().checksDisabled;
    s.warmUpOverlay = [] { AddCardPanelController::shared().warmUp(); };
    s.showAddCard = [] { AddCardPanelController::shared().show(std::nullopt); };
    s.quit = [] { QApplication::quit(); };
    return s;
}
