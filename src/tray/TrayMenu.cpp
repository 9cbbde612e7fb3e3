#include "tray/TrayMenu.h"

#include "auth/Session.h"
#include "sync/DeckState.h"

#include <QMenu>
#include <QTimer>

namespace {

// Menu texts treat '&' as a mnemonic marker; deck names are shown as written.
QString literalMenuText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

QString TrayMenu::noActiveDeckText()
{
    return tr("No active deck — create one first to add cards.");
}

QString TrayMenu::signInItemText()
{
    //: Tray menu item that opens the window to link this computer.
    return tr("Sign In...");
}

TrayMenu::TrayMenu(Session &session, DeckState &deckState, bool updatesFromDistribution, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_deckState(deckState)
    , m_updatesFromDistribution(updatesFromDistribution)
    , m_menu(std::make_unique<QMenu>())
{
    m_wasAuthenticated = m_session.isAuthenticated();
    connect(&m_session, &Session::isAuthenticatedChanged, this, &TrayMenu::onAuthChanged);
    connect(&m_deckState, &DeckState::decksChanged, this, &TrayMenu::rebuild);
    connect(&m_deckState, &DeckState::activeDeckChanged, this, &TrayMenu::rebuild);
    connect(&m_deckState, &DeckState::isLoadingChanged, this, &TrayMenu::rebuild);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TrayMenu::onAboutToShow);
    rebuild();
}

TrayMenu::~TrayMenu() = default;

QMenu *TrayMenu::menu() const
{
    return m_menu.get();
}

QString TrayMenu::statusLine(const std::optional<Deck> &activeDeck, bool isLoading)
{
    if (activeDeck)
        //: First line of the tray menu; %1 is the active deck's name as the user wrote it.
        return tr("Active: %1").arg(activeDeck->name);
    if (isLoading)
        return tr("Loading decks...");
    return noActiveDeckText();
}

void TrayMenu::onAuthChanged()
{
    const bool now = m_session.isAuthenticated();
    const bool changed = now != m_wasAuthenticated;
    m_wasAuthenticated = now;
    rebuild();
    if (!changed)
        return;
    if (now)
        m_deckState.startSubscriptionsLater();
    else
        Q_EMIT authWindowRequested();
}

void TrayMenu::onAboutToShow()
{
    if (m_session.isAuthenticated())
        m_deckState.startSubscriptionsLater();
}

QAction *TrayMenu::addItem(const QString &text, std::function<void()> action)
{
    QAction *item = m_menu->addAction(text);
    if (action)
        connect(item, &QAction::triggered, this, [action = std::move(action)] { action(); });
    return item;
}

void TrayMenu::rebuild()
{
    // Actions are deleted later, not by QMenu::clear(): a rebuild can be caused
    // by one of them firing (Relink signs out from inside its handler).
    const QList<QAction *> old = m_menu->actions();
    for (QAction *action : old) {
        m_menu->removeAction(action);
        action->deleteLater();
    }
    if (m_session.isAuthenticated())
        buildSignedIn();
    else
        buildSignedOut();
    Q_EMIT rebuilt();
}

void TrayMenu::buildSignedOut()
{
    addItem(signInItemText(), [this] { Q_EMIT authWindowRequested(); });
    m_menu->addSeparator();
    addItem(tr("Quit Vocarta Menubar"), [this] { Q_EMIT quitRequested(); });
}

void TrayMenu::buildSignedIn()
{
    const QList<Deck> &decks = m_deckState.decks();
    const std::optional<Deck> activeDeck = m_deckState.activeDeck();
    const bool isLoading = m_deckState.isLoading();

    QAction *status = addItem(literalMenuText(statusLine(activeDeck, isLoading)), {});
    status->setEnabled(false);
    m_menu->addSeparator();

    for (const Deck &deck : decks) {
        const QString id = deck.id();
        QAction *item = addItem(literalMenuText(deck.name), [this, id] {
            m_deckState.select(id);
            // A click toggles the item's own mark; a selection that fails (or
            // picks the deck already active) changes nothing that would
            // rebuild the menu, so the marks are drawn again from the state.
            QTimer::singleShot(0, this, &TrayMenu::rebuild);
        });
        item->setData(id);
        if (activeDeck && activeDeck->id() == id) {
            item->setCheckable(true);
            item->setChecked(true);
        }
    }
    if (!decks.isEmpty())
        m_menu->addSeparator();

    QAction *refresh =
        addItem(isLoading ? tr("Refreshing...") : tr("Refresh Decks"), [this] { m_deckState.loadLater(); });
    refresh->setEnabled(!isLoading);

    QAction *addCard = addItem(tr("Add Card..."), [this] { Q_EMIT addCardRequested(); });
    addCard->setEnabled(activeDeck.has_value() && !isLoading);

    m_menu->addSeparator();
    addItem(tr("Settings..."), [this] { Q_EMIT authWindowRequested(); });
    if (m_updatesFromDistribution) {
        addItem(tr("Updates Come from the Package Manager"), {})->setEnabled(false);
    } else {
        addItem(tr("Check for Updates..."), [this] { Q_EMIT updateCheckRequested(); });
    }
    //: Tray menu item: sign out and link this computer again with a new code.
    addItem(tr("Relink..."), [this] {
        m_session.signOut();
        Q_EMIT authWindowRequested();
    });
    m_menu->addSeparator();
    addItem(tr("Quit Vocarta Menubar"), [this] { Q_EMIT quitRequested(); });
}
