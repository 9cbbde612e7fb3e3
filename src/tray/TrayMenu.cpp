#include "tray/TrayMenu.h"

#include <QMenu>
#include <QMetaMethod>
#include <QMetaProperty>

namespace {

QVariant readProperty(const QObject *object, const char *name)
{
    return object ? object->property(name) : QVariant();
}

// Connects the NOTIFY signal of `property` on `source` to `slot` of `target`.
void observe(QObject *source, const char *property, QObject *target, const char *slot)
{
    if (!source)
        return;
    const QMetaObject *meta = source->metaObject();
    const int index = meta->indexOfProperty(property);
    if (index < 0 || !meta->property(index).hasNotifySignal()) {
        qWarning("TrayMenu: %s has no notifying property %s", meta->className(), property);
        return;
    }
    const QMetaMethod signal = meta->property(index).notifySignal();
    const QMetaObject *targetMeta = target->metaObject();
    const QMetaMethod receiver = targetMeta->method(targetMeta->indexOfSlot(slot));
    QObject::connect(source, signal, target, receiver, Qt::UniqueConnection);
}

void invoke(QObject *object, const char *method)
{
    if (object && !QMetaObject::invokeMethod(object, method))
        qWarning("TrayMenu: %s cannot %s", object->metaObject()->className(), method);
}

// Menu texts treat '&' as a mnemonic marker; deck names are shown as written.
QString literalMenuText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

const QString TrayMenu::noActiveDeckText =
    QStringLiteral("No active deck \u2014 create one first to add cards.");
const QString TrayMenu::signInItemText = QStringLiteral("Sign In...");

TrayMenu::TrayMenu(QObject *auth, QObject *deckState, Actions actions, QObject *parent)
    : QObject(parent)
    , m_auth(auth)
    , m_deckState(deckState)
    , m_actions(std::move(actions))
    , m_menu(std::make_unique<QMenu>())
{
    m_wasAuthenticated = isAuthenticated();
    observe(auth, "isAuthenticated", this, "onAuthChanged()");
    for (const char *property : {"decks", "activeDeck", "isLoading"})
        observe(deckState, property, this, "onDeckStateChanged()");
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TrayMenu::onAboutToShow);
    rebuild();
}

TrayMenu::~TrayMenu() = default;

QMenu *TrayMenu::menu() const
{
    return m_menu.get();
}

QString TrayMenu::statusLine(const std::optional<DeckFields> &activeDeck, bool isLoading)
{
    if (activeDeck)
        return QStringLiteral("Active: ") + activeDeck->name;
    if (isLoading)
        return QStringLiteral("Loading decks...");
    return noActiveDeckText;
}

bool TrayMenu::isAuthenticated() const
{
    return readProperty(m_auth, "isAuthenticated").toBool();
}

void TrayMenu::onDeckStateChanged()
{
    rebuild();
}

void TrayMenu::onAuthChanged()
{
    const bool now = isAuthenticated();
    const bool changed = now != m_wasAuthenticated;
    m_wasAuthenticated = now;
    rebuild();
    if (!changed)
        return;
    if (now)
        startSubscriptions();
    else if (m_actions.openAuthWindow)
        m_actions.openAuthWindow();
}

void TrayMenu::onAboutToShow()
{
    if (isAuthenticated())
        startSubscriptions();
}

void TrayMenu::startSubscriptions()
{
    invoke(m_deckState, "startSubscriptionsLater");
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
    if (isAuthenticated())
        buildSignedIn();
    else
        buildSignedOut();
    Q_EMIT rebuilt();
}

void TrayMenu::buildSignedOut()
{
    addItem(signInItemText, m_actions.openAuthWindow);
    m_menu->addSeparator();
    addItem(QStringLiteral("Quit Vocarta Menubar"), m_actions.quit);
}

void TrayMenu::buildSignedIn()
{
    const QList<DeckFields> decks = DeckFields::listFrom(readProperty(m_deckState, "decks"));
    const std::optional<DeckFields> activeDeck = DeckFields::from(readProperty(m_deckState, "activeDeck"));
    const bool isLoading = readProperty(m_deckState, "isLoading").toBool();

    QAction *status = addItem(literalMenuText(statusLine(activeDeck, isLoading)), {});
    status->setEnabled(false);
    m_menu->addSeparator();

    for (const DeckFields &deck : decks) {
        QPointer<QObject> deckState = m_deckState;
        const QString id = deck.id;
        QPointer<TrayMenu> self(this);
        QAction *item = addItem(literalMenuText(deck.name), [deckState, id, self] {
            if (deckState)
                QMetaObject::invokeMethod(deckState, "select", Q_ARG(QString, id));
            // A click toggles the item's own mark; a selection that fails (or
            // picks the deck already active) changes nothing that would
            // rebuild the menu, so the marks are drawn again from the state.
            if (self)
                QMetaObject::invokeMethod(self, &TrayMenu::rebuild, Qt::QueuedConnection);
        });
        item->setData(deck.id);
        if (activeDeck && activeDeck->id == deck.id) {
            item->setCheckable(true);
            item->setChecked(true);
        }
    }
    if (!decks.isEmpty())
        m_menu->addSeparator();

    QPointer<QObject> deckState = m_deckState;
    QAction *refresh = addItem(isLoading ? QStringLiteral("Refreshing...") : QStringLiteral("Refresh Decks"),
                               [deckState] { invoke(deckState, "loadLater"); });
    refresh->setEnabled(!isLoading);

    QAction *addCard = addItem(QStringLiteral("Add Card..."), m_actions.showAddCard);
    addCard->setEnabled(activeDeck.has_value() && !isLoading);

    m_menu->addSeparator();
    addItem(QStringLiteral("Settings..."), m_actions.openAuthWindow);
    if (m_actions.updatesFromDistribution) {
        addItem(QStringLiteral("Updates Come from the Package Manager"), {})->setEnabled(false);
    } else {
        addItem(QStringLiteral("Check for Updates..."), m_actions.checkForUpdates);
    }
    QPointer<QObject> auth = m_auth;
    auto openAuthWindow = m_actions.openAuthWindow;
    addItem(QStringLiteral("Relink..."), [auth, openAuthWindow] {
        invoke(auth, "signOut");
        if (openAuthWindow)
            openAuthWindow();
    });
    m_menu->addSeparator();
    addItem(QStringLiteral("Quit Vocarta Menubar"), m_actions.quit);
}
