#include "FakeDeployment.h"
#include "FakeSession.h"
#include "TestSupport.h"

#include "app/Fonts.h"
#include "backend/ConvexClient.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/AddCardPanelController.h"
#include "overlay/DismissSignal.h"
#include "qml/ViewEngine.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
// Records the keys that reach an item.
class KeyRecorder : public QObject {
public:
    QList<int> keys;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys.append(static_cast<QKeyEvent *>(event)->key());
        return false;
    }
};

void typeText(QWindow *window, const char *text)
{
    for (const char *c = text; *c; ++c)
        QTest::keyClick(window, *c);
}

int overlayWindowCount()
{
    int count = 0;
    for (QWindow *window : QGuiApplication::topLevelWindows())
        count += window->objectName() == QLatin1String("AddCardPanel");
    return count;
}

QString xprop(QWindow *window, const QString &property)
{
    QProcess process;
    process.start(QStringLiteral("xprop"),
                  {QStringLiteral("-id"), QString::number(window->winId()), property});
    if (!process.waitForFinished(10000))
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}
} // namespace

class AddCardPanelControllerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDeployment> fake;
    std::unique_ptr<ConvexClient> client;
    std::unique_ptr<FakeSession> session;
    std::unique_ptr<AddCardPanelController> panel;

    QQuickItem *field() const
    {
        return panel->window()->contentItem()->findChild<QQuickItem *>(QStringLiteral("wordField"));
    }

    // Opens the overlay and waits until it is on screen with the keyboard
    // focus in its field.
    bool open(std::optional<QString> text)
    {
        open_(std::move(text));
        return !QTest::currentTestFailed();
    }

    void open_(std::optional<QString> text)
    {
        panel->show(std::move(text));
        // Mapping waits while the window manager still holds a just-hidden window.
        QTRY_VERIFY_WITH_TIMEOUT(panel->content() && panel->content()->isVisible(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(panel->window()->isExposed(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::focusWindow(), panel->window(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(field() && field()->hasActiveFocus(), 20000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        registerFonts();
        ViewEngine::selectDefaultSceneGraph();
    }

    void init()
    {
        fake = std::make_unique<FakeDeployment>();
        client = std::make_unique<ConvexClient>(fake->url());
        client->setTokens(QStringLiteral("token"), QStringLiteral("refresh"));
        fake->answer("decks:getActiveDeck", FakeDeployment::Answer::success(deckJson("d1", "Swedish")));
        session = std::make_unique<FakeSession>();
        session->finishRestore(true);
        panel = std::make_unique<AddCardPanelController>(ViewEngine::shared(), *client, *session);
    }

    void cleanup()
    {
        panel.reset();
        session.reset();
        client.reset();
        fake.reset();
    }

    void warmUpLeavesNoWindowOnScreen()
    {
        panel->warmUp();
        QVERIFY(panel->window());
        QTRY_VERIFY_WITH_TIMEOUT(!panel->window()->isVisible(), 20000);
        QVERIFY(!panel->isOpen());
        QCOMPARE(overlayWindowCount(), 1);
    }

    void opensFullScreenFramelessOnTopEverywhere()
    {
        panel->warmUp();
        QVERIFY(open(QStringLiteral("  red house \n")));
        QQuickWindow *window = panel->window();
        QCOMPARE(window->geometry(), window->screen()->geometry());
        QVERIFY(window->flags() & Qt::FramelessWindowHint);
        QVERIFY(window->flags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(window->color(), QColor(Qt::transparent));
        QCOMPARE(panel->content()->word(), QStringLiteral("red house"));
        QCOMPARE(field()->property("text").toString(), QStringLiteral("red house"));

        const QString states = xprop(window, QStringLiteral("_NET_WM_STATE"));
        QVERIFY2(states.contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR")), qPrintable(states));
        QVERIFY2(states.contains(QLatin1String("_NET_WM_STATE_SKIP_PAGER")), qPrintable(states));
        QVERIFY2(states.contains(QLatin1String("_NET_WM_STATE_ABOVE")), qPrintable(states));
        QVERIFY2(states.contains(QLatin1String("_NET_WM_STATE_FULLSCREEN")), qPrintable(states));
        const QString desktop = xprop(window, QStringLiteral("_NET_WM_DESKTOP"));
        QVERIFY2(desktop.contains(QLatin1String("4294967295")), qPrintable(desktop));
    }

    void secondShowOnlyRaisesTheOpenOverlay()
    {
        QVERIFY(open(QStringLiteral("first")));
        QPointer<AddCardOverlayContent> first = panel->content();
        panel->show(QStringLiteral("second"));
        QCOMPARE(panel->content(), first.data());
        QCOMPARE(first->word(), QStringLiteral("first"));
        QCOMPARE(overlayWindowCount(), 1);
        QVERIFY(panel->hasKeyFilter());

        // One key filter: one Escape raises the signal once.
        QSignalSpy raised(&panel->dismissSignal(), &DismissSignal::triggeredChanged);
        QTest::keyClick(panel->window(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isOpen(), 20000);
        QCOMPARE(raised.count(), 2); // true by Escape, false when hidden
        QCOMPARE(raised.at(0).at(0).toBool(), true);
    }

    void escapeClosesAfterTheExitAnimationAndNeverReachesTheField()
    {
        QVERIFY(open(QStringLiteral("house")));
        KeyRecorder recorder;
        field()->installEventFilter(&recorder);
        QSignalSpy closed(panel.get(), &AddCardPanelController::closed);

        QTest::keyClick(panel->window(), Qt::Key_Escape);
        // Closing: the card animates out first.
        QTRY_VERIFY_WITH_TIMEOUT(panel->dismissSignal().triggered(), 10000);
        QVERIFY(panel->isOpen());
        QVERIFY(!panel->content()->isVisible());
        QVERIFY(closed.isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 20000);
        QVERIFY(!panel->isOpen());
        QVERIFY(!panel->hasKeyFilter());
        QVERIFY(!panel->window()->isVisible());
        QVERIFY(!panel->dismissSignal().triggered());
        QVERIFY(!recorder.keys.contains(Qt::Key_Escape));
    }

    void otherKeysReachTheField()
    {
        fake->answer("ai:translateWord", FakeDeployment::Answer::success(QJsonArray{}));
        QVERIFY(open(std::nullopt));
        QTRY_VERIFY_WITH_TIMEOUT(panel->content()->activeDeck().has_value(), 20000);
        typeText(panel->window(), "hus");
        QTest::keyClick(panel->window(), Qt::Key_Left);
        QTest::keyClick(panel->window(), Qt::Key_Backspace);
        QCOMPARE(panel->content()->word(), QStringLiteral("hs"));
        QTest::keyClick(panel->window(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(fake->count("ai:translateWord"), 1, 20000);
        QCOMPARE(fake->requestsFor("ai:translateWord").first().args().value("word").toString(),
                 QStringLiteral("hs"));
    }

    // Whatever happened before it - an opening typed into, the start-up's
    // drawing with its stand-in, the image given back after a long idle -
    // an opening shows nothing of it, over the whole screen.
    void nextOpeningStartsFresh_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("an opening closed with Escape") << QStringLiteral("escape");
        QTest::newRow("the warm-up, opened at once") << QStringLiteral("warm-up");
        QTest::newRow("the warm-up, then the idle tidy-up") << QStringLiteral("warm-up, tidy-up");
        QTest::newRow("an opening, then the idle tidy-up") << QStringLiteral("escape, tidy-up");
    }

    void nextOpeningStartsFresh()
    {
        QFETCH(QString, before);
        if (before.startsWith(u"escape")) {
            QVERIFY(open(QStringLiteral("old")));
            QPointer<AddCardOverlayContent> first = panel->content();
            typeText(panel->window(), "er");
            QTest::keyClick(panel->window(), Qt::Key_Escape);
            QTRY_VERIFY_WITH_TIMEOUT(!panel->isOpen(), 20000);
            QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 20000);
        } else {
            panel->warmUp();
        }
        if (before.endsWith(u"tidy-up")) {
            QTRY_VERIFY_WITH_TIMEOUT(!panel->warmingUp() && !panel->window()->isVisible(), 20000);
            panel->tidyUp();
            QVERIFY(!panel->isOpen());
        }

        QVERIFY(open(std::nullopt));
        QVERIFY(!panel->dismissSignal().triggered());
        QCOMPARE(panel->content()->word(), QString());
        QCOMPARE(panel->content()->phase(), AddCardOverlayContent::Phase::Input);
        QVERIFY(panel->content()->isVisible());
        QCOMPARE(field()->property("text").toString(), QString());
        QCOMPARE(overlayWindowCount(), 1);
        QQuickWindow *window = panel->window();
        const QRect screen = window->screen()->geometry();
        QTRY_COMPARE_WITH_TIMEOUT(window->geometry(), screen, 20000);
        QQuickItem *card = window->contentItem()->findChild<QQuickItem *>(QStringLiteral("card"));
        QVERIFY(card);
        QTRY_COMPARE_WITH_TIMEOUT(card->mapToScene(QPointF(card->width() / 2, 0)).x(), screen.width() / 2.0,
                                  20000);
        const QImage drawn = window->grabWindow();
        QCOMPARE(drawn.size(), screen.size() * window->devicePixelRatio());
    }

    // Opened before the keyring has answered (a capture at start-up): the
    // client has no token yet. The overlay waits for the restore instead of
    // fetching nothing, and does not call a signed-in user signed out.
    void deckArrivesOnceALateRestoreFinishes()
    {
        panel.reset();
        session = std::make_unique<FakeSession>();
        client->signOut();
        panel = std::make_unique<AddCardPanelController>(ViewEngine::shared(), *client, *session);
        QVERIFY(open(QStringLiteral("house")));
        AddCardOverlayContent *content = panel->content();
        QTRY_VERIFY_WITH_TIMEOUT(session->restoreRequests > 0, 20000);
        content->translate();
        QVERIFY(content->notice().isEmpty());
        QCOMPARE(content->phase(), AddCardOverlayContent::Phase::Input);

        client->setTokens(QStringLiteral("token"), QStringLiteral("refresh"));
        session->finishRestore(true);
        QTRY_VERIFY_WITH_TIMEOUT(content->activeDeck().has_value(), 20000);
        QCOMPARE(fake->count("decks:getActiveDeck"), 1);
        content->translate();
        QCOMPARE(content->phase(), AddCardOverlayContent::Phase::Loading);
        QVERIFY(content->notice().isEmpty());
    }

    void clickOutsideTheCardCloses()
    {
        QVERIFY(open(QStringLiteral("house")));
        QQuickItem *card = panel->window()->contentItem()->findChild<QQuickItem *>(QStringLiteral("card"));
        QVERIFY(card);
        // Wait for the entrance to finish so the card is where it will stay.
        QTRY_VERIFY_WITH_TIMEOUT(
            panel->window()->contentItem()->findChild<QQuickItem *>(QStringLiteral("cardFrame"))->opacity() >=
                1.0,
            20000);
        const QPoint inside = card->mapToScene(QPointF(card->width() / 2, card->height() / 2)).toPoint();
        QTest::mouseClick(panel->window(), Qt::LeftButton, Qt::NoModifier, inside);
        QVERIFY(panel->content()->isVisible());

        QTest::mouseClick(panel->window(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(!panel->content()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isOpen(), 20000);
    }

    // However the window goes away without the overlay asking, the panel ends
    // up closed as after Escape and the next opening is a fresh one.
    void windowGoneWithoutUsClosesThePanel_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Alt+F4 in the window manager") << QStringLiteral("alt+F4");
        QTest::newRow("platform window destroyed") << QStringLiteral("destroy");
    }

    void windowGoneWithoutUsClosesThePanel()
    {
        QFETCH(QString, how);
        QVERIFY(open(QStringLiteral("house")));
        QPointer<AddCardOverlayContent> first = panel->content();
        QSignalSpy closed(panel.get(), &AddCardPanelController::closed);
        if (how == u"alt+F4")
            QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), how}), 0);
        else
            panel->window()->destroy();

        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 20000);
        QVERIFY(!panel->isOpen());
        QVERIFY(!panel->hasKeyFilter());
        QVERIFY(!panel->dismissSignal().triggered());
        QTRY_VERIFY_WITH_TIMEOUT(!panel->window()->isVisible(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 20000);

        QVERIFY(open(QStringLiteral("again")));
        QCOMPARE(panel->content()->word(), QStringLiteral("again"));
        QCOMPARE(overlayWindowCount(), 1);
        QCOMPARE(closed.count(), 1);
    }

    void hidePanelTwiceIsHarmless()
    {
        panel->hidePanel();
        QVERIFY(open(QStringLiteral("house")));
        panel->hidePanel();
        panel->hidePanel();
        QVERIFY(!panel->isOpen());
        QVERIFY(!panel->window()->isVisible());
        QVERIFY(open(QStringLiteral("again")));
        QCOMPARE(panel->content()->word(), QStringLiteral("again"));
    }
};

QTEST_MAIN(AddCardPanelControllerTest)
#include "AddCardPanelControllerTest.moc"
