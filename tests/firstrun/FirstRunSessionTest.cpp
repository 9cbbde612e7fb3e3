#include "FakeDeployment.h"
#include "MemorySecretStore.h"
#include "QuickItemSearch.h"
#include "app/Fonts.h"
#include "auth/AuthManager.h"
#include "backend/ConvexClient.h"
#include "firstrun/LinkCodeModel.h"
#include "platform/Browser.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickView>
#include <QtTest>

namespace {

class NoBrowser : public Browser {
public:
    bool openUrl(const QUrl &) override { return false; }
};

} // namespace

// The link-code page against the real session and a fake deployment: a
// rejected code, a good code, then RELINK.
class FirstRunSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linkCodePageSignsInAndRelinks();
};

void FirstRunSessionTest::linkCodePageSignsInAndRelinks()
{
    using Answer = FakeDeployment::Answer;
    registerFonts();
    FakeDeployment server;
    ConvexClient client(server.url());
    MemorySecretStore store;
    NoBrowser browser;
    AuthManager session(client, store, browser);
    QVERIFY(QTest::qWaitFor([&] { return session.isStartupFinished(); }, 20000));
    QVERIFY(!session.isAuthenticated());

    QQuickView view;
    view.setInitialProperties({{QStringLiteral("auth"), QVariant::fromValue<QObject *>(&session)},
                               {QStringLiteral("shortcuts"), QVariant::fromValue<QObject *>(nullptr)}});
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Vocarta/LinkCodeView.qml")));
    QCOMPARE(view.status(), QQuickView::Ready);
    view.show();
    view.requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(&view, 20000));
    auto *model = view.rootObject()->property("model").value<LinkCodeModel *>();
    auto *firstBox = findItem(view.rootObject(), QStringLiteral("codeBox0"));
    auto *connect = findItem(view.rootObject(), QStringLiteral("connectButton"));
    auto *errorText = findItem(view.rootObject(), QStringLiteral("errorText"));
    auto *relink = findItem(view.rootObject(), QStringLiteral("relinkButton"));
    QVERIFY(model && firstBox && connect && errorText && relink);
    auto click = [&](QQuickItem *target) {
        QTest::mouseClick(&view, Qt::LeftButton, {},
                          target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
    };

    QTRY_VERIFY(firstBox->hasActiveFocus());
    QGuiApplication::clipboard()->setText(QStringLiteral("wxyz 9876"));
    QTest::keySequence(&view, QKeySequence::Paste);
    QTRY_VERIFY(connect->isEnabled());

    server.answerOnce(QStringLiteral("users:redeemMacLinkCode"), Answer::error(QStringLiteral("expired")));
    click(connect);
    QTRY_VERIFY_WITH_TIMEOUT(errorText->isVisible(), 20000);
    QCOMPARE(errorText->property("text").toString(),
             QStringLiteral("Invalid or expired code. Generate a new one in the iOS app."));
    QCOMPARE(model->chars(), (QStringList{"W", "X", "Y", "Z", "9", "8", "7", "6"}));
    QTRY_VERIFY(connect->isEnabled());

    server.answer(QStringLiteral("users:redeemMacLinkCode"),
                  Answer::success(QJsonObject{{QStringLiteral("token"), QStringLiteral("t1")},
                                              {QStringLiteral("refreshToken"), QStringLiteral("r1")}}));
    server.answer(QStringLiteral("users:getCurrentUser"),
                  Answer::success(QJsonObject{{QStringLiteral("_id"), QStringLiteral("u1")},
                                              {QStringLiteral("email"), QStringLiteral("ana@example.com")}}));
    click(connect);
    QTRY_VERIFY_WITH_TIMEOUT(session.isAuthenticated(), 20000);
    const auto redeemed = server.requestsFor(QStringLiteral("users:redeemMacLinkCode"));
    QCOMPARE(redeemed.size(), 2);
    QCOMPARE(redeemed.last().args().value(QStringLiteral("code")).toString(), QStringLiteral("WXYZ-9876"));
    QVERIFY(!model->connectExpanded());
    QVERIFY(model->shortcutExpanded());

    // RELINK signs out and empties the boxes; the code entry opens again.
    model->toggleConnect();
    QTRY_VERIFY(relink->isVisible());
    click(relink);
    QTRY_VERIFY(!session.isAuthenticated());
    QCOMPARE(model->chars(), QStringList(8, QString()));
    QVERIFY(model->connectExpanded());
    QVERIFY(!model->shortcutExpanded());
    QTRY_VERIFY(connect->isVisible());
    QVERIFY(!connect->isEnabled());
}

QTEST_MAIN(FirstRunSessionTest)
#include "FirstRunSessionTest.moc"
