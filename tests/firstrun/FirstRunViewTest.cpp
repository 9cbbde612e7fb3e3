#include "FakeSession.h"
#include "QuickItemSearch.h"
#include "RecordingHotKeys.h"
#include "app/Fonts.h"
#include "capture/ShortcutManager.h"
#include "firstrun/LinkCodeModel.h"
#include "firstrun/ShortcutRecorderModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QQuickView>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

constexpr quint16 macK = 40;

} // namespace

// Drives the real views in a window: keys typed and pasted into the code
// boxes, and a combination pressed on the (virtual) keyboard while recording.
class FirstRunViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void typingAndPastingFillTheBoxes();
    void recorderTakesCombinationFromKeyboard();
    void onboardingPagesFollowTheSession();
    void scrollingWordsDrawOnlyTheWordsOnScreen();

private:
    QQuickItem *item(const char *name) const;
    QString boxText(int index) const;
    void click(QQuickItem *target);
    void load(const char *file);
    bool pressKeys(const QString &keys);

    FakeSession *m_session = nullptr;
    RecordingHotKeys m_hotKeys;
    std::unique_ptr<ShortcutManager> m_shortcuts;
    std::unique_ptr<QQuickView> m_view;
};

void FirstRunViewTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta-firstrun-test"));
    registerFonts();
}

void FirstRunViewTest::init()
{
    QSettings().remove(ShortcutManager::defaultsKey);
    m_session = new FakeSession(this);
    m_shortcuts = std::make_unique<ShortcutManager>(
        m_hotKeys, []() -> QCoro::Task<std::optional<QString>> { co_return std::nullopt; },
        [](std::optional<QString>) {});
}

void FirstRunViewTest::cleanup()
{
    m_view.reset();
    m_shortcuts.reset();
    delete m_session;
    m_session = nullptr;
}

void FirstRunViewTest::load(const char *file)
{
    m_view = std::make_unique<QQuickView>();
    // What the sign-in window hands its pages.
    QVariantMap properties{{QStringLiteral("auth"), QVariant::fromValue(m_session)},
                           {QStringLiteral("shortcuts"), QVariant::fromValue(m_shortcuts.get())}};
    if (qstrcmp(file, "OnboardingView.qml") == 0)
        properties.insert(QStringLiteral("downloadPageUrl"), QUrl(QStringLiteral("https://example.com/app")));
    m_view->setInitialProperties(properties);
    m_view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Vocarta/") + QLatin1String(file)));
    QVERIFY2(m_view->status() == QQuickView::Ready, qPrintable(m_view->errors().value(0).toString()));
    m_view->show();
    m_view->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get(), 20000));
}

// Walks the visual tree: items made by repeaters and loaders are not always
// QObject children of the item that shows them.
QQuickItem *FirstRunViewTest::item(const char *name) const
{
    QQuickItem *found = findItem(m_view->rootObject(), QLatin1String(name));
    if (!found)
        qFatal("no item named %s", name);
    return found;
}

QString FirstRunViewTest::boxText(int index) const
{
    return item(qPrintable(QStringLiteral("codeBox%1").arg(index)))->property("text").toString();
}

void FirstRunViewTest::click(QQuickItem *target)
{
    QVERIFY(target);
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(m_view.get(), Qt::LeftButton, {}, centre.toPoint());
}

bool FirstRunViewTest::pressKeys(const QString &keys)
{
    // Through the X server, so the press carries a real key code and modifier state.
    return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}) == 0;
}

void FirstRunViewTest::typingAndPastingFillTheBoxes()
{
    load("LinkCodeView.qml");
    auto *model = m_view->rootObject()->property("model").value<LinkCodeModel *>();
    QVERIFY(model);
    QTRY_VERIFY_WITH_TIMEOUT(item("codeBox0")->hasActiveFocus(), 10000);

    // A letter moves on; a hyphen is dropped and goes back; a second
    // character typed into a filled box spills into the next one.
    for (char c : {'a', '-', 'b'})
        QTest::keyClick(m_view.get(), c);
    QTRY_COMPARE(model->chars(), (QStringList{"A", "B", "", "", "", "", "", ""}));
    QCOMPARE(boxText(0), QStringLiteral("A"));
    QCOMPARE(boxText(1), QStringLiteral("B"));
    QTRY_VERIFY(item("codeBox2")->hasActiveFocus());

    // Clicking a filled box empties and focuses it.
    click(item("codeBox1"));
    QTRY_VERIFY(item("codeBox1")->hasActiveFocus());
    QCOMPARE(boxText(1), QString());
    QCOMPARE(model->focusedIndex(), 1);

    auto *connect = item("connectButton");
    QVERIFY(!connect->isEnabled());
    // Full width of the inset column, 52 high.
    QCOMPARE(connect->width(), 420.0 - 2 * 28);
    QCOMPARE(connect->height(), 52.0);

    click(item("codeBox0"));
    QTRY_VERIFY(item("codeBox0")->hasActiveFocus());
    QGuiApplication::clipboard()->setText(QStringLiteral("abcd-1234"));
    QTest::keySequence(m_view.get(), QKeySequence::Paste);
    QTRY_COMPARE(model->chars(), (QStringList{"A", "B", "C", "D", "1", "2", "3", "4"}));
    const QString shown = QStringLiteral("ABCD1234");
    for (int i = 0; i < 8; ++i)
        QCOMPARE(boxText(i), shown.mid(i, 1));
    QTRY_VERIFY(item("codeBox7")->hasActiveFocus());
    QVERIFY(connect->isEnabled());

    // Return in a box does not submit.
    QTest::keyClick(m_view.get(), Qt::Key_Return);
    QVERIFY(m_session->codes.isEmpty());

    click(connect);
    QTRY_COMPARE(m_session->codes, QStringList{QStringLiteral("ABCD-1234")});
    QTRY_VERIFY(!connect->isEnabled());
    QCOMPARE(connect->property("label").toString(), QString());
    // While signing in the boxes take no input.
    QTest::keyClick(m_view.get(), Qt::Key_Backspace);
    QCOMPARE(boxText(7), QStringLiteral("4"));

    m_session->setError(QStringLiteral("Invalid or expired code. Generate a new one in the iOS app."));
    m_session->setLoading(false);
    QTRY_VERIFY(item("errorText")->isVisible());
    QVERIFY(connect->isEnabled());
    QCOMPARE(connect->property("label").toString(), QStringLiteral("CONNECT"));
}

void FirstRunViewTest::recorderTakesCombinationFromKeyboard()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("xdotool is needed to press keys through the X server");
    m_session->setAuthenticated(true);
    load("LinkCodeView.qml");
    auto *field = item("shortcutField");
    QTRY_VERIFY(field && field->isVisible());
    auto *recorder = m_view->rootObject()->findChild<ShortcutRecorderModel *>();
    QVERIFY(recorder);
    auto *clear = item("shortcutClearButton");
    auto *message = item("reservedMessage");
    QVERIFY(!clear->isVisible());

    click(field);
    QTRY_VERIFY(recorder->isRecording());
    // A bare key passes on, recording goes on.
    QVERIFY(pressKeys(QStringLiteral("j")));
    QVERIFY(pressKeys(QStringLiteral("super+q")));
    QTRY_VERIFY_WITH_TIMEOUT(!recorder->isRecording(), 10000);
    QVERIFY(recorder->reservedError());
    QTRY_VERIFY(message->isVisible());
    QVERIFY(!m_shortcuts->currentCombo().has_value());

    click(field);
    QTRY_VERIFY(recorder->isRecording());
    QVERIFY(!recorder->reservedError());
    QVERIFY(pressKeys(QStringLiteral("ctrl+shift+k")));
    QTRY_VERIFY_WITH_TIMEOUT(m_shortcuts->currentCombo().has_value(), 10000);
    QCOMPARE(*m_shortcuts->currentCombo(), KeyCombo(macK, KeyCombo::ControlFlag | KeyCombo::ShiftFlag));
    QCOMPARE(m_hotKeys.registered.size(), 1);
    QVERIFY(!recorder->isRecording());
    QTRY_VERIFY(clear->isVisible());
    QCOMPARE(recorder->displayString(), QStringLiteral("Ctrl+Shift+K"));

    // Escape with a modifier held stops recording and keeps the shortcut.
    click(field);
    QTRY_VERIFY(recorder->isRecording());
    QTRY_VERIFY(!clear->isVisible());
    QVERIFY(pressKeys(QStringLiteral("shift+Escape")));
    QTRY_VERIFY_WITH_TIMEOUT(!recorder->isRecording(), 10000);
    QCOMPARE(*m_shortcuts->currentCombo(), KeyCombo(macK, KeyCombo::ControlFlag | KeyCombo::ShiftFlag));

    QTRY_VERIFY(clear->isVisible());
    click(clear);
    QTRY_VERIFY(!m_shortcuts->currentCombo().has_value());
    QTRY_VERIFY(!clear->isVisible());

    // Closing the window while recording stops it: later key presses belong
    // to other windows.
    click(field);
    QTRY_VERIFY(recorder->isRecording());
    m_view->hide();
    QTRY_VERIFY(!recorder->isRecording());
}

void FirstRunViewTest::onboardingPagesFollowTheSession()
{
    load("OnboardingView.qml");
    QQuickItem *root = m_view->rootObject();
    auto *info = item("infoPage");
    auto *link = item("linkCodePage");
    QCOMPARE(root->property("page").toInt(), 0);
    QVERIFY(info->property("active").toBool());
    QVERIFY(!link->property("active").toBool());

    click(item("nextButton"));
    QTRY_COMPARE(root->property("page").toInt(), 1);
    // The info page slides out and is dropped once it has left.
    QTRY_VERIFY(!info->property("active").toBool());
    QCOMPARE(link->x(), 0.0);

    // Signing in on the link-code page keeps it.
    m_session->setAuthenticated(true);
    QCOMPARE(root->property("page").toInt(), 1);
    QVERIFY(!info->property("active").toBool());

    // Signing out slides back to the info page; the next link-code page is new.
    QPointer<LinkCodeModel> firstLinkModel = link->findChild<LinkCodeModel *>();
    QVERIFY(firstLinkModel);
    m_session->setAuthenticated(false);
    QCOMPARE(root->property("page").toInt(), 0);
    QTRY_VERIFY(!link->property("active").toBool());
    QTRY_VERIFY(firstLinkModel.isNull());
    QCOMPARE(info->x(), 0.0);

    // Coming on screen signed in shows the link-code page at once.
    m_view->hide();
    m_session->setAuthenticated(true);
    m_view->show();
    QTRY_COMPARE(root->property("page").toInt(), 1);
    QVERIFY(link->property("active").toBool());
    QVERIFY(!info->property("active").toBool());
    QCOMPARE(link->x(), 0.0);
}

namespace {

// The texts that are drawn: hidden or fully transparent ones (the measuring copy) are not.
void collectDrawnTexts(QQuickItem *item, QList<QQuickItem *> &texts)
{
    if (!item->isVisible() || item->opacity() == 0)
        return;
    if (item->inherits("QQuickText"))
        texts.append(item);
    for (QQuickItem *child : item->childItems())
        collectDrawnTexts(child, texts);
}

} // namespace

// The bands keep their layout while only the words in view exist as text:
// every drawn word sits in its row's visible stretch, fills its slot exactly,
// and is drawn at a pulse opacity between 0.1 and 0.55.
void FirstRunViewTest::scrollingWordsDrawOnlyTheWordsOnScreen()
{
    load("OnboardingView.qml");
    QQuickItem *words = item("scrollingWords");
    QHash<QQuickItem *, int> drawnPerRow;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QList<QQuickItem *> texts;
            collectDrawnTexts(words, texts);
            drawnPerRow.clear();
            for (QQuickItem *text : std::as_const(texts)) {
                QQuickItem *slot = text->parentItem()->parentItem();
                QQuickItem *band = slot->parentItem();
                ++drawnPerRow[band->parentItem()];
            }
            return drawnPerRow.size() == 3;
        }(),
        20000);
    QList<QQuickItem *> texts;
    collectDrawnTexts(words, texts);
    for (QQuickItem *text : std::as_const(texts)) {
        QQuickItem *slot = text->parentItem()->parentItem();
        QQuickItem *band = slot->parentItem();
        QQuickItem *row = band->parentItem();
        const QString word = text->property("text").toString();
        QVERIFY2(text->implicitWidth() > 0, qPrintable(word));
        QCOMPARE(slot->width(), text->implicitWidth());
        const qreal left = band->x() + slot->x();
        QVERIFY2(left + slot->width() > 0 && left < row->width(), qPrintable(word));
        const qreal alpha = text->property("color").value<QColor>().alphaF();
        QVERIFY2(alpha >= 0.1 - 0.01 && alpha <= 0.55 + 0.01, qPrintable(QString::number(alpha)));
    }
    // Three copies of eight words per band, a few of them in view.
    for (int count : std::as_const(drawnPerRow))
        QVERIFY2(count > 0 && count < 12, qPrintable(QString::number(count)));
}

QTEST_MAIN(FirstRunViewTest)
#include "FirstRunViewTest.moc"
