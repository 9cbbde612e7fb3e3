#include "app/SubsystemLinks.h"

#include "app/SparkleUpdater.h"
#include "capture/AddCardPanelController.h"
#include "capture/SelectedTextReader.h"
#include "capture/ShortcutManager.h"
#include "menu/FirstRunQmlTypes.h"
#include "overlay/AddCardOverlayContent.h" // AddCardPanelController.h holds a QPointer to it
#include "overlay/OverlayQmlTypes.h"
#include "sync/DeckStateManager.h"
#include "sync/SyncQmlTypes.h"

#include <QApplication>
#include <QVariant>

namespace {

// Stand-in until the session object is linked in: a signed-out session with
// the same members.
class PendingSession : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(QString userEmail READ userEmail NOTIFY userEmailChanged)
public:
    bool isAuthenticated() const { return false; }
    QString userEmail() const { return {}; }
    Q_INVOKABLE void signOut() {}
    Q_INVOKABLE void handleCallbackUrl(const QUrl &) {}
Q_SIGNALS:
    void isAuthenticatedChanged();
    void userEmailChanged();
};

} // namespace

AppShell::Subsystems linkSubsystems()
{
    static PendingSession session;
    AppShell::Subsystems s;
    s.auth = &session;
    s.deckState = &DeckStateManager::shared();
    s.registerQmlTypes = [] {
        registerSyncQmlTypes();
        registerOverlayQmlTypes();
        ShortcutManager &shortcuts = ShortcutManager::shared();
        registerFirstRunQmlTypes(&session,
                                 {[&shortcuts] { return shortcuts.currentCombo(); },
                                  [&shortcuts](std::optional<KeyCombo> combo) { shortcuts.set(combo); }},
                                 &shortcuts);
    };
    s.requestAccessibility = [] { SelectedTextReader::requestAccessibility(); };
    s.loadAndRegisterShortcut = [] { ShortcutManager::shared().loadAndRegister(); };
    s.triggerCapture = [] { ShortcutManager::shared().triggerCapture(); };
    s.startUpdater = [] { SparkleUpdater::shared(); };
    s.checkForUpdates = [] { SparkleUpdater::shared().checkForUpdates(); };
    s.updatesFromDistribution = SparkleUpdater::buildConfig().checksDisabled;
    s.warmUpOverlay = [] { AddCardPanelController::shared().warmUp(); };
    s.showAddCard = [] { AddCardPanelController::shared().show(std::nullopt); };
    s.quit = [] { QApplication::quit(); };
    return s;
}

#include "SubsystemLinks.moc"
