#pragma once

#include "app/AppShell.h"
#include "auth/AuthManager.h"
#include "backend/ConvexClient.h"
#include "capture/SelectedTextReader.h"
#include "capture/ShortcutManager.h"
#include "overlay/AddCardPanelController.h"
#include "platform/DesktopServicesBrowser.h"
#include "platform/SelectionSources.h"
#include "platform/SystemHotKeyService.h"
#include "platform/secret/HelperSecretStore.h"
#include "sync/ConvexSubscriptionClient.h"
#include "sync/DeckStateManager.h"
#include "update/UpdateDialog.h"
#include "update/Updater.h"

// The program's process-wide objects. They are made once this copy knows it
// is the running one (a second start must not restore and refresh the session
// too), each after the ones it uses, and destroyed in the reverse order while
// the application object still exists.
class AppServices : public AppShell::Subsystems {
public:
    explicit AppServices(AppShell::Options shellOptions);
    ~AppServices() override;

    AppShell &shell() { return m_shell; }
    // Ends once the writes to the secret store asked for so far (a rotated
    // token pair, a sign-in's pair, a sign-out's deletion) have ended.
    QCoro::Task<void> untilWritesFinished();

    ShortcutManager *shortcuts() override;
    void requestAccessibility() override;
    void loadAndRegisterShortcut() override;
    void startUpdater() override;
    void warmUpOverlay() override;
    void showAddCard() override;
    void triggerCapture(const QString &activationToken) override;
    void checkForUpdates() override;
    bool updatesFromDistribution() const override;

private:
    HelperSecretStore m_secrets;
    DesktopServicesBrowser m_browser;
    ConvexClient m_http;
    ConvexSubscriptionClient m_sync;
    AuthManager m_session;
    DeckStateManager m_deckState;
    SelectionSources m_selectionSources;
    SelectedTextReader m_selectionReader;
    SystemHotKeyService m_hotKeys;
    AddCardPanelController m_overlay;
    ShortcutManager m_shortcuts;
    UpdateDialog m_updateDialog;
    Updater m_updater;
    AppShell m_shell;
};
