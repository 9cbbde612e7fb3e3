#include "app/AppWindows.h"

#include "BuildConfig.h"
#include "auth/Session.h"
#include "capture/ShortcutManager.h"
#include "platform/WindowActivation.h"
#include "qml/ViewEngine.h"
#include "sync/DeckState.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>

namespace {
const QString viewsRoot = QStringLiteral("qrc:/qt/qml/Vocarta/");
}

AppWindows::AppWindows(QQmlEngine &engine, Session &session, DeckState &deckState, ShortcutManager *shortcuts,
                       QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_session(session)
    , m_deckState(deckState)
    , m_shortcuts(shortcuts)
{
    qApp->installEventFilter(this);
}

AppWindows::~AppWindows()
{
    qApp->removeEventFilter(this);
    delete m_auth;
    delete m_settings;
}

QQuickWindow *AppWindows::create(const QString &file, const QVariantMap &properties)
{
    QQmlComponent component(&m_engine, QUrl(viewsRoot + file));
    QObject *object = component.createWithInitialProperties(properties);
    auto *window = qobject_cast<QQuickWindow *>(object);
    if (!window) {
        ViewEngine::logLoadFailure(component);
        delete object;
        return nullptr;
    }
    // Closing only hides: the window is kept for the next opening, and the
    // program goes on running in the tray.
    window->setFlag(Qt::WindowMinimizeButtonHint, false);
    return window;
}

void AppWindows::present(QQuickWindow *window, const QString &activationToken, bool centre)
{
    if (centre) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (screen) {
            const QRect area = screen->availableGeometry();
            window->setPosition(area.center() - QPoint(window->width() / 2, window->height() / 2));
        }
    }
    WindowActivation::activate(window, activationToken);
    if (!window->isExposed()) {
        // The window manager must see the window mapped before the request
        // to activate it; ask again once the first frame is on screen.
        QPointer<QQuickWindow> guard(window);
        connect(
            window, &QQuickWindow::frameSwapped, this,
            [guard, activationToken] {
                if (guard)
                    WindowActivation::activate(guard, activationToken);
            },
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    }
}

void AppWindows::openAuthWindow(const QString &activationToken)
{
    const bool first = !m_auth;
    if (first) {
        m_auth = create(
            QStringLiteral("AuthWindow.qml"),
            {{QStringLiteral("auth"), QVariant::fromValue(&m_session)},
             {QStringLiteral("shortcuts"), QVariant::fromValue(m_shortcuts.data())},
             {QStringLiteral("downloadPageUrl"), QUrl(QString::fromUtf8(BuildConfig::downloadPageUrl))}});
        if (!m_auth)
            return;
    }
    present(m_auth, activationToken, first);
}

void AppWindows::openSettingsWindow(const QString &activationToken)
{
    const bool first = !m_settings;
    if (first) {
        m_settings = create(QStringLiteral("SettingsWindow.qml"),
                            {{QStringLiteral("auth"), QVariant::fromValue(&m_session)},
                             {QStringLiteral("deckState"), QVariant::fromValue(&m_deckState)},
                             {QStringLiteral("startAtLogin"), QVariant::fromValue(m_startAtLogin.data())}});
        if (!m_settings)
            return;
    }
    present(m_settings, activationToken, first);
    Q_EMIT settingsWindowOpened();
}

bool AppWindows::eventFilter(QObject *watched, QEvent *event)
{
    // Closing from the title bar only hides, and the views are told: a plain
    // close drops the native window, and Qt 6.4's QML Window announces only
    // its showing, so bindings on `visible` kept seeing it on screen. The
    // pages then did not start over, the recorder kept taking keys and the
    // Decks tab did not load again.
    if (event->type() == QEvent::Close && watched->isWindowType() &&
        (watched == m_auth.data() || watched == m_settings.data())) {
        event->ignore();
        auto *window = static_cast<QWindow *>(watched);
        window->hide();
        const QMetaObject *meta = window->metaObject();
        const QMetaMethod notify = meta->property(meta->indexOfProperty("visible")).notifySignal();
        if (notify.isValid() && notify.parameterCount() == 1)
            notify.invoke(window, Qt::DirectConnection, Q_ARG(bool, false));
        return true;
    }
    // Qt's Preferences key sequence is empty on Linux; Ctrl+, is the usual one.
    if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Comma && key->modifiers() == Qt::ControlModifier) {
            openSettingsWindow();
            return true;
        }
        // Escape closes either window, as the title bar's button does: the
        // keyboard alone gets out too. (The recorder sees the key first
        // while it records, and takes Escape as its own.)
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier &&
            (watched == m_auth.data() || watched == m_settings.data())) {
            static_cast<QWindow *>(watched)->close();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
