#include "app/AppServices.h"

#include "backend/DeploymentUrl.h"
#include "qml/ViewEngine.h"
#include "sync/Clock.h"
#include "sync/Sleeper.h"

AppServices::AppServices(AppShell::Options shellOptions)
    : m_http(ConvexClient::deploymentUrl())
    , m_sync(DeploymentUrl::syncUrl(m_http.baseURL()), m_http)
    , m_session(m_http, m_secrets, m_browser)
    , m_deckState(m_sync, m_http)
    , m_selectionReader(m_selectionSources.all())
    , m_overlay(ViewEngine::shared(), m_http, m_session)
    , m_shortcuts(
          m_hotKeys,
          [this] { return m_selectionReader.capture([this] { return m_shortcuts.keyReleased(); }); },
          [this](std::optional<QString> text, const WindowActivation::Request &activation) {
              m_overlay.show(std::move(text), activation);
          })
    , m_updateDialog([this](const QUrl &url) { m_browser.openUrl(url); })
    , m_updater(Updater::buildConfig())
    , m_shell(m_session, m_deckState, *this, shellOptions)
{
    // A sign-in or sign-out must not leave the live connection serving the
    // previous account's decks.
    QObject::connect(&m_session, &AuthManager::accountChanged, &m_sync,
                     &ConvexSubscriptionClient::reconnectForAccountChange);
    m_updater.setPresenter([this](const UpdateCheckResult &result) { m_updateDialog.showResult(result); });
}

AppServices::~AppServices() = default;

QCoro::Task<void> AppServices::untilWritesFinished()
{
    co_await m_session.finishPendingWrites();
}

ShortcutManager *AppServices::shortcuts()
{
    return &m_shortcuts;
}

void AppServices::requestAccessibility()
{
    // Its answer matters only when a selection is read: nothing waits for it.
    // The hot-key service is made after the sources and goes before them: the
    // answer reaches the sources only while they exist.
    QCoro::connect(SelectionSources::enableAccessibility(), &m_hotKeys, [this](bool usable) {
        if (usable)
            m_selectionSources.followFocus();
    });
}

void AppServices::loadAndRegisterShortcut()
{
    m_shortcuts.loadAndRegister();
}

void AppServices::startUpdater()
{
    m_updater.startAutomaticChecks();
}

void AppServices::warmUpOverlay()
{
    m_overlay.warmUp();
}

void AppServices::showAddCard()
{
    m_overlay.show(std::nullopt);
}

void AppServices::triggerCapture(const QString &activationToken)
{
    m_shortcuts.triggerCapture(activationToken);
}

void AppServices::checkForUpdates()
{
    m_updater.checkForUpdates();
}

bool AppServices::updatesFromDistribution() const
{
    return m_updater.checksDisabled();
}
