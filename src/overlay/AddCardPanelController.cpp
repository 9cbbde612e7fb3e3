#include "overlay/AddCardPanelController.h"

#include "backend/ConvexClient.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/DismissSignal.h"
#include "overlay/FlagIcon.h"
#include "platform/OverlayWindowHints.h"
#include "platform/posix/FreeMemory.h"
#include "qml/ViewEngine.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTimer>

namespace {
const QUrl viewUrl(QStringLiteral("qrc:/qt/qml/Vocarta/AddCardOverlayView.qml"));
// After a closing (or the warm-up), how long the program waits before it
// gives memory back.
constexpr std::chrono::seconds tidyUpDelay{30};
} // namespace

AddCardPanelController::AddCardPanelController(QQmlEngine &engine, ConvexClient &client, Session &session,
                                               QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_client(client)
    , m_session(session)
    , m_dismissSignal(std::make_unique<DismissSignal>())
{
}

AddCardPanelController::~AddCardPanelController()
{
    releaseWindow();
}

void AddCardPanelController::releaseWindow()
{
    // The window must go while Qt is still there.
    if (!QCoreApplication::instance())
        return;
    delete m_content;
    m_content = nullptr;
    delete m_standIn;
    delete m_next;
    m_keyFilterInstalled = false;
    delete m_window;
    m_window = nullptr;
    m_root = nullptr;
}

AddCardOverlayContent *AddCardPanelController::shownContent() const
{
    if (m_content)
        return m_content;
    if (m_standIn)
        return m_standIn;
    return m_next;
}

QQuickWindow *AddCardPanelController::window() const
{
    const_cast<AddCardPanelController *>(this)->ensureWindow();
    return m_window;
}

void AddCardPanelController::ensureWindow()
{
    if (m_window)
        return;
    m_hints = OverlayWindowHints::create();
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AddCardPanelController::releaseWindow,
            Qt::UniqueConnection);

    if (!m_engine.imageProvider(QStringLiteral("flag")))
        m_engine.addImageProvider(QStringLiteral("flag"), new FlagIcon);

    // Without an alpha channel the window would paint an opaque rectangle
    // over the whole screen.
    QQuickWindow::setDefaultAlphaBuffer(true);
    m_window = new QQuickWindow;
    m_window->setObjectName(QStringLiteral("AddCardPanel"));
    //: Title of the overlay window, as the window list and screen readers name it.
    m_window->setTitle(tr("Add card"));
    m_window->setColor(Qt::transparent);
    // Not Qt::Tool: some window managers then keep the window small and
    // transient for another one.
    m_window->setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);

    // Before the view: its first bindings already find the content.
    prepareNextContent();
    QQmlComponent component(&m_engine, viewUrl);
    QObject *created =
        component.createWithInitialProperties({{QStringLiteral("panel"), QVariant::fromValue(this)}});
    m_root = qobject_cast<QQuickItem *>(created);
    if (!m_root) {
        ViewEngine::logLoadFailure(component);
        delete created;
        return;
    }
    m_root->setParent(m_window->contentItem());
    m_root->setParentItem(m_window->contentItem());
    m_root->setSize(m_window->size());
    // Not while the closed window is shrunk (releaseImage): the view keeps
    // its layout for the next opening.
    connect(m_window, &QWindow::widthChanged, m_root, [this](int w) {
        if (!m_imageReleased)
            m_root->setWidth(w);
    });
    connect(m_window, &QWindow::heightChanged, m_root, [this](int h) {
        if (!m_imageReleased)
            m_root->setHeight(h);
    });
    // The window can go away without us (its platform window destroyed, a
    // close that got past the filter): the overlay is then closed, or the
    // next shortcut would only try to raise a window that is not there.
    connect(m_window, &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible && isOpen() && !m_hiding && !m_mappingAgain)
            hidePanel();
    });
}

void AddCardPanelController::warmUp()
{
    ensureWindow();
    if (!m_window || !m_root || m_window->isVisible() || !m_hints->canWarmUpUnseen())
        return;
    // Draw once at full size, then withdraw: the scene graph, its buffers
    // for this screen size, the fonts' glyphs and the card's items are ready
    // afterwards. A one-pixel shape keeps it from showing (a translucent
    // window is opaque without a compositor).
    QScreen *screen = m_hints->focusedScreen();
    if (!screen)
        return;
    setWarmingUp(true);
    if (!m_standInDismissSignal)
        m_standInDismissSignal = std::make_unique<DismissSignal>();
    m_standIn = new AddCardOverlayContent(
        *m_standInDismissSignal, std::nullopt, [] {}, m_client, this);
    m_standIn->setWord(QStringLiteral("Vocarta"));
    Q_EMIT contentChanged();
    m_window->setMask(QRegion(0, 0, 1, 1));
    connect(
        m_window, &QQuickWindow::frameSwapped, this,
        [this] {
            dropStandIn();
            setWarmingUp(false);
            m_window->setMask(QRegion());
            if (!isOpen()) {
                m_window->hide();
                drawWhileClosed();
                trimWhenIdle();
            }
        },
        Qt::SingleShotConnection);
    // At start-up the user is working in another window: keep its focus.
    m_hints->showUnfocusedOn(*m_window, *screen);
}

void AddCardPanelController::show(std::optional<QString> prefilledText, WindowActivation::Request activation)
{
    ensureWindow();
    if (!m_window || !m_root)
        return;

    if (isOpen()) {
        if (!m_window->isVisible())
            return;
        if (!m_window->isActive() && activation.token.isEmpty() && m_hints->raiseNeedsToken())
            mapAgain();
        else
            m_hints->activate(*m_window, activation);
        return;
    }
    m_activation = std::move(activation);

    QScreen *screen = m_hints->focusedScreen();
    if (!screen)
        return;

    m_dismissSignal->setTriggered(false);

    AddCardOverlayContent *const shownBefore = shownContent();
    prepareNextContent();
    m_content = m_next;
    m_next = nullptr;
    m_content->setPrefilledText(std::move(prefilledText));
    dropStandIn();
    if (m_warmingUp) {
        setWarmingUp(false);
        m_window->setMask(QRegion());
    }
    // Usually the view already shows the prepared content.
    if (shownContent() != shownBefore)
        Q_EMIT contentChanged();

    m_imageReleased = false;
    m_window->installEventFilter(this);
    m_keyFilterInstalled = true;
    Q_EMIT opened();

    if (m_window->isVisible()) {
        // Still mapped by the warm-up: move it into place rather than
        // withdrawing and mapping it again.
        m_window->setScreen(screen);
        m_window->setGeometry(screen->geometry());
        m_hints->activate(*m_window, m_activation);
        startOverlay();
        return;
    }
    mapWhenWithdrawn(screen, 0);
}

void AddCardPanelController::mapWhenWithdrawn(QPointer<QScreen> screen, int attempt)
{
    if (!m_content || m_window->isVisible())
        return;
    // Right after a hide the window manager may still hold the window; a map
    // request then would be lost. It lets go within a few milliseconds.
    constexpr int maximumAttempts = 250;
    if (attempt < maximumAttempts && !m_hints->isWithdrawn(*m_window)) {
        QTimer::singleShot(std::chrono::milliseconds(2), this,
                           [this, screen, attempt] { mapWhenWithdrawn(screen, attempt + 1); });
        return;
    }
    if (!screen)
        screen = m_hints->focusedScreen();
    if (!screen) {
        hidePanel();
        return;
    }
    m_hints->showOn(*m_window, *screen);
    m_hints->activate(*m_window, m_activation);
    startOverlay();
}

void AddCardPanelController::mapAgain()
{
    // The compositor would leave the open overlay behind the window in
    // front; a fresh map is focused. The content and its key filter stay, so
    // the user finds the overlay as it was.
    QScreen *screen = m_window->screen();
    if (!screen)
        screen = m_hints->focusedScreen();
    if (!screen)
        return;
    m_mappingAgain = true;
    m_window->hide();
    m_mappingAgain = false;
    m_hints->showOn(*m_window, *screen);
    m_hints->activate(*m_window);
}

void AddCardPanelController::startOverlay()
{
    m_content->animateIn();
    // The deck is fetched once the overlay is on screen: the first request of
    // a run sets up the network stack, which would otherwise hold up the
    // first frame.
    QPointer<AddCardOverlayContent> content = m_content;
    auto started = std::make_shared<bool>(false);
    auto fetch = [content, started] {
        if (*started || !content)
            return;
        *started = true;
        content->fetchActiveDeck();
    };
    connect(m_window, &QQuickWindow::frameSwapped, content, fetch, Qt::SingleShotConnection);
    // A window that is never drawn (covered, minimised by force) still gets its deck.
    QTimer::singleShot(std::chrono::milliseconds(250), content, fetch);
}

void AddCardPanelController::dropStandIn()
{
    if (!m_standIn)
        return;
    AddCardOverlayContent *standIn = m_standIn;
    m_standIn = nullptr;
    if (!m_content)
        Q_EMIT contentChanged();
    standIn->deleteLater();
}

void AddCardPanelController::prepareNextContent()
{
    if (m_next)
        return;
    QPointer<AddCardPanelController> self(this);
    m_next = new AddCardOverlayContent(
        *m_dismissSignal, std::nullopt,
        [self] {
            if (self)
                self->hidePanel();
        },
        m_client);
    m_next->setSession(m_session);
}

void AddCardPanelController::setWarmingUp(bool warmingUp)
{
    if (warmingUp == m_warmingUp)
        return;
    m_warmingUp = warmingUp;
    Q_EMIT warmingUpChanged();
}

void AddCardPanelController::hidePanel()
{
    if (m_hiding)
        return;
    m_hiding = true;
    if (m_keyFilterInstalled) {
        m_window->removeEventFilter(this);
        m_keyFilterInstalled = false;
    }
    if (m_content) {
        if (m_window)
            m_window->hide();
        // The overlay may be calling us from one of its own timers.
        AddCardOverlayContent *content = m_content;
        m_content = nullptr;
        prepareNextContent();
        Q_EMIT contentChanged();
        content->deleteLater();
        Q_EMIT closed();
        drawWhileClosed();
        trimWhenIdle();
    }
    m_dismissSignal->setTriggered(false);
    m_hiding = false;
}

void AddCardPanelController::drawWhileClosed()
{
    // The closed window's kept image still holds the last frame, and its
    // scene the content that was shown then; the next opening's content
    // was bound to it since. Drawn now, off screen, the first frame after
    // the press has only the new word left to draw, instead of syncing and
    // redrawing the whole card while the display is busy with the map.
    QTimer::singleShot(0, this, [this] {
        if (m_window && !m_window->isVisible() && !isOpen() && !m_imageReleased && usesSoftwareScene())
            m_window->grabWindow();
    });
}

bool AddCardPanelController::usesSoftwareScene() const
{
    return m_window && m_window->rendererInterface() &&
           m_window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software;
}

void AddCardPanelController::trimWhenIdle()
{
    // Not while a person is adding one card after another: each opening
    // after this has to draw a new image (a few milliseconds more from the
    // press to the first frame). Once the program has been left alone.
    if (!m_trim) {
        m_trim = new QTimer(this);
        m_trim->setSingleShot(true);
        m_trim->setInterval(tidyUpDelay);
        connect(m_trim, &QTimer::timeout, this, &AddCardPanelController::tidyUp);
    }
    m_trim->start();
}

void AddCardPanelController::tidyUp()
{
    if (isOpen() || m_warmingUp)
        return;
    releaseImage();
    returnFreeMemory();
}

void AddCardPanelController::releaseImage()
{
    // The software scene graph keeps the closed window's image, the size of
    // the screen (4 MB at 1280x800), and would hold it through every idle
    // hour. It renders a window once at its new size even while withdrawn
    // (a grab): shrunk to a pixel, the image goes. The next opening's first
    // frame draws a new one, as it redraws the whole window anyway.
    if (!m_window || m_window->isVisible() || m_imageReleased || !usesSoftwareScene())
        return;
    m_imageReleased = true;
    // The window takes its new size once the display has it.
    connect(
        m_window, &QWindow::widthChanged, this,
        [this] {
            if (m_imageReleased && !m_window->isVisible()) {
                m_window->grabWindow();
                // The image just let go may have come from the heap.
                returnFreeMemory();
            }
        },
        Qt::SingleShotConnection);
    m_window->resize(1, 1);
}

bool AddCardPanelController::eventFilter(QObject *watched, QEvent *event)
{
    // A close through the window manager (Alt+F4, the compositor's close
    // request) is a dismissal like Escape: the card animates out, then the
    // panel is hidden and forgotten. The window itself stays for the next
    // opening.
    if (watched == m_window && event->type() == QEvent::Close && isOpen()) {
        event->ignore();
        QTimer::singleShot(0, this, [this] {
            if (isOpen())
                m_dismissSignal->setTriggered(true);
        });
        return true;
    }
    if (watched == m_window && event->type() == QEvent::KeyPress && isOpen()) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            QTimer::singleShot(0, this, [this] {
                if (isOpen())
                    m_dismissSignal->setTriggered(true);
            });
            return true;
        }
        // The keyboard-only flow (arrows, Return, Ctrl+digit) outside the
        // input field, before the view's items see the key.
        if (m_content && m_content->handleKey(key->key(), key->modifiers()))
            return true;
    }
    return QObject::eventFilter(watched, event);
}
