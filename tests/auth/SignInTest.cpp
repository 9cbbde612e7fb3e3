#include "SessionRig.h"
#include "TaskOutcome.h"
#include "TestSupport.h"

#include "auth/OAuthFragment.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QUrlQuery>

#include "BuildConfig.h"

using Answer = FakeDeployment::Answer;

namespace {

const QString linkCodeText = QStringLiteral("Invalid or expired code. Generate a new one in the iOS app.");
const QString cancelledText = QStringLiteral("The operation was cancelled.");

// The sequence of values a flag took, read from its change signal.
class FlagRecorder : public QObject {
public:
    FlagRecorder(AuthManager &session)
    {
        connect(&session, &AuthManager::isLoadingChanged, this,
                [this, &session] { loading.append(session.isLoading()); });
    }
    QList<bool> loading;
};

// The callback `url` as the browser hands it back for the authorization
// request `opened`: with that request's state added.
QUrl answering(const QUrl &opened, QString url)
{
    const QString state = QUrlQuery(opened).queryItemValue(QStringLiteral("state"));
    const QChar separator = url.contains(QLatin1Char('#')) || url.contains(QLatin1Char('?'))
                                ? QLatin1Char('&')
                                : QLatin1Char('?');
    return QUrl(url + separator + QStringLiteral("state=") + state);
}

} // namespace

class SignInTest : public QObject {
    Q_OBJECT

    // Starts a signed-out session whose e-mail query answers.
    static AuthManager &signedOut(SessionRig &rig)
    {
        rig.answerEmail(QStringLiteral("ana@example.com"));
        if (!rig.startAndSettle())
            qFatal("the session did not start");
        return *rig.manager;
    }

private Q_SLOTS:
    void validLinkCode()
    {
        SessionRig rig;
        rig.store.setDeferred(true);
        rig.server.answer(QStringLiteral("users:redeemMacLinkCode"),
                          Answer::success(SessionRig::tokens(QStringLiteral("t1"), QStringLiteral("r1"))));
        AuthManager &session = signedOut(rig);
        FlagRecorder flags(session);
        QSignalSpy accountChanges(&session, &AuthManager::accountChanged);

        auto outcome = startTask(session.signInWithLinkCodeTask(QStringLiteral("AB12CD34")));
        QVERIFY(session.isLoading());
        QTRY_VERIFY_WITH_TIMEOUT(outcome->finished, 20000);

        QCOMPARE(flags.loading, (QList<bool>{true, false}));
        QVERIFY(session.isAuthenticated());
        QVERIFY(!session.hasError());
        QCOMPARE(session.userEmail(), std::optional<QString>(QStringLiteral("ana@example.com")));
        QCOMPARE(rig.storedToken(), std::optional<QString>(QStringLiteral("t1")));
        QCOMPARE(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r1")));
        QCOMPARE(rig.store.label(rig.service(), rig.tokenKey()),
                 QStringLiteral("Vocarta sign-in (access token)"));
        QCOMPARE(rig.client.authToken(), std::optional<QString>(QStringLiteral("t1")));
        QCOMPARE(rig.client.refreshToken(), std::optional<QString>(QStringLiteral("r1")));
        QCOMPARE(accountChanges.count(), 1);

        const auto redeem = rig.server.requestsFor(QStringLiteral("users:redeemMacLinkCode"));
        QCOMPARE(redeem.size(), 1);
        QCOMPARE(redeem.first().args(), (QJsonObject{{QStringLiteral("code"), QStringLiteral("AB12CD34")}}));
        QVERIFY(!redeem.first().hasHeader("Authorization"));
        const auto user = rig.server.requestsFor(QStringLiteral("users:getCurrentUser"));
        QCOMPARE(user.size(), 1);
        QCOMPARE(user.first().header("Authorization"), QByteArray("Bearer t1"));
    }

    void failedLinkCode_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("invalid code") << Answer::error(QStringLiteral("Invalid code"));
        QTest::newRow("server failure") << Answer::text(500, "boom");
        QTest::newRow("offline") << Answer::dropped();
        QTest::newRow("incomplete pair")
            << Answer::success(QJsonObject{{QStringLiteral("token"), QStringLiteral("t1")}});
    }

    void failedLinkCode()
    {
        QFETCH(Answer, answer);
        SessionRig rig;
        rig.server.answer(QStringLiteral("users:redeemMacLinkCode"), answer);
        AuthManager &session = signedOut(rig);
        QSignalSpy accountChanges(&session, &AuthManager::accountChanged);

        QVERIFY(awaitTask(session.signInWithLinkCodeTask(QStringLiteral("AB12CD34"))).succeeded());
        QCOMPARE(session.error(), std::optional<QString>(linkCodeText));
        QCOMPARE(session.property("error").toString(), linkCodeText);
        QVERIFY(!session.isLoading());
        QVERIFY(!session.isAuthenticated());
        QCOMPARE(rig.store.itemCount(), 0);
        QCOMPARE(rig.client.authToken(), std::nullopt);
        QCOMPARE(accountChanges.count(), 0);
    }

    void failedSignInLeavesTheCurrentSession()
    {
        SessionRig rig;
        rig.storePair(QStringLiteral("t1"), QStringLiteral("r1"));
        rig.answerSignIn(QStringLiteral("t2"), QStringLiteral("r2"));
        rig.answerEmail(QStringLiteral("ana@example.com"));
        rig.server.answer(QStringLiteral("users:redeemMacLinkCode"), Answer::error());
        QVERIFY(rig.startAndSettle());
        AuthManager &session = *rig.manager;

        QVERIFY(awaitTask(session.signInWithLinkCodeTask(QStringLiteral("AB12CD34"))).succeeded());
        QCOMPARE(session.error(), std::optional<QString>(linkCodeText));
        QVERIFY(session.isAuthenticated());
        QCOMPARE(rig.storedToken(), std::optional<QString>(QStringLiteral("t2")));
        QCOMPARE(rig.client.authToken(), std::optional<QString>(QStringLiteral("t2")));
        QCOMPARE(session.userEmail(), std::optional<QString>(QStringLiteral("ana@example.com")));
    }

    void newAttemptClearsTheLastError()
    {
        SessionRig rig;
        rig.server.answerOnce(QStringLiteral("users:redeemMacLinkCode"), Answer::error());
        rig.server.answer(QStringLiteral("users:redeemMacLinkCode"),
                          Answer::success(SessionRig::tokens(QStringLiteral("t1"), QStringLiteral("r1"))));
        AuthManager &session = signedOut(rig);
        QVERIFY(awaitTask(session.signInWithLinkCodeTask(QStringLiteral("WRONG000"))).succeeded());
        QVERIFY(session.hasError());

        auto outcome = startTask(session.signInWithLinkCodeTask(QStringLiteral("AB12CD34")));
        QVERIFY(!session.hasError());
        QVERIFY(session.isLoading());
        QTRY_VERIFY_WITH_TIMEOUT(outcome->finished, 20000);
        QVERIFY(!session.hasError());
        QVERIFY(session.isAuthenticated());
    }

    void passwordSignIn_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("expectedError");
        QTest::newRow("issued") << Answer::issued(QStringLiteral("t1"), QStringLiteral("r1")) << QString();
        QTest::newRow("no tokens") << Answer::success(QJsonObject{})
                                   << QStringLiteral("Auth failed: No tokens returned");
        QTest::newRow("refused") << Answer::error(QStringLiteral("Invalid password"))
                                 << QStringLiteral("Server error (200): Invalid password");
        // The network layer's own text, whatever it says.
        QTest::newRow("offline") << Answer::dropped() << QStringLiteral("<transport>");
    }

    void passwordSignIn()
    {
        QFETCH(Answer, answer);
        QFETCH(QString, expectedError);
        SessionRig rig;
        rig.server.answer(QStringLiteral("auth:signIn"), answer);
        AuthManager &session = signedOut(rig);

        QVERIFY(awaitTask(session.signInTask(QStringLiteral("ana@example.com"), QStringLiteral("pw"),
                                             QStringLiteral("signIn")))
                    .succeeded());
        const auto calls = rig.server.requestsFor(QStringLiteral("auth:signIn"));
        QVERIFY(!calls.isEmpty()); // the network layer may retry a dropped connection once
        const QJsonObject args = calls.first().args();
        QVERIFY2(!args.contains(QStringLiteral("verifier")), "the server refuses a null verifier");
        QCOMPARE(args.value(QStringLiteral("provider")).toString(), QStringLiteral("password"));
        QCOMPARE(args.value(QStringLiteral("params")).toObject(),
                 (QJsonObject{{QStringLiteral("email"), QStringLiteral("ana@example.com")},
                              {QStringLiteral("password"), QStringLiteral("pw")},
                              {QStringLiteral("flow"), QStringLiteral("signIn")}}));
        if (expectedError == QLatin1String("<transport>")) {
            QVERIFY(session.hasError() && !session.errorText().isEmpty());
            QVERIFY2(!session.errorText().contains(QStringLiteral("error (")),
                     qPrintable(session.errorText()));
            QVERIFY(!session.errorText().startsWith(QStringLiteral("Auth failed")));
            expectedError = session.errorText();
        }
        QCOMPARE(session.errorText(), expectedError);
        QCOMPARE(session.isAuthenticated(), expectedError.isEmpty());
        QCOMPARE(rig.storedToken().has_value(), expectedError.isEmpty());
        QVERIFY(!session.isLoading());
    }

    void googleAuthorizationAddress()
    {
        SessionRig rig;
        AuthManager &session = signedOut(rig);
        session.setGoogleCallbackTimeout(std::chrono::milliseconds(1));
        for (int attempt = 0; attempt < 2; ++attempt)
            QVERIFY(awaitTask(session.signInWithGoogleTask()).succeeded());
        QCOMPARE(rig.browser.opened.size(), 2);

        const QUrl url = rig.browser.opened.first();
        QCOMPARE(url.scheme(), QStringLiteral("https"));
        QCOMPARE(url.host(), QStringLiteral("accounts.google.com"));
        QCOMPARE(url.path(), QStringLiteral("/o/oauth2/v2/auth"));
        const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
        QCOMPARE(items.size(), 6);
        QCOMPARE(items[0],
                 qMakePair(QStringLiteral("client_id"), QString::fromUtf8(BuildConfig::googleClientId)));
        QCOMPARE(items[1],
                 qMakePair(QStringLiteral("redirect_uri"), QStringLiteral("vocarta://auth/google")));
        QCOMPARE(items[2], qMakePair(QStringLiteral("response_type"), QStringLiteral("token id_token")));
        QCOMPARE(items[3], qMakePair(QStringLiteral("scope"), QStringLiteral("openid email profile")));
        QCOMPARE(items[4].first, QStringLiteral("nonce"));
        const QString nonce = items[4].second;
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                     .match(nonce)
                     .hasMatch(),
                 qPrintable(nonce));
        QVERIFY(QUrlQuery(rig.browser.opened.last()).queryItemValue(QStringLiteral("nonce")) != nonce);
        // A fresh unguessable state per attempt.
        QCOMPARE(items[5].first, QStringLiteral("state"));
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{43}$")).match(items[5].second).hasMatch(),
                 qPrintable(items[5].second));
        QVERIFY(QUrlQuery(rig.browser.opened.last()).queryItemValue(QStringLiteral("state")) !=
                items[5].second);
    }

    void googleCallback_data()
    {
        QTest::addColumn<QString>("callback");
        QTest::addColumn<QString>("idTokenSent"); // empty: no server call
        QTest::addColumn<QString>("expectedError");
        // The callback after vocarta://auth/google, the id_token sent on, the error shown.
        const auto row = [](const char *name, const char *rest, const char *idTokenSent, const char *error) {
            QTest::newRow(name) << QStringLiteral("vocarta://auth/google") + QString::fromUtf8(rest)
                                << QString::fromUtf8(idTokenSent) << QString::fromUtf8(error);
        };
        row("encoded plus sign", "#access_token=ya29.a0&id_token=eyJ.pay%2Bload%3D%3D.sig&token_type=Bearer",
            "eyJ.pay+load==.sig", "");
        row("literal plus stays", "#id_token=a+b", "a+b", "");
        row("second equals sign kept", "#id_token=a=b", "a=b", "");
        row("later key wins", "#id_token=first&&id_token=second", "second", "");
        row("empty sides skipped", "#=x&id_token=&id_token=v&novalue", "v", "");
        row("undecodable kept as sent", "#id_token=a%zz%FF", "a%zz%FF", "");
        row("query, no fragment", "?id_token=abc", "", "Auth failed: No fragment in callback URL");
        row("no id_token", "#access_token=ya29&token_type=Bearer", "",
            "Auth failed: No id_token in Google response");
        row("empty fragment", "#", "", "Auth failed: No id_token in Google response");
    }

    void googleCallback()
    {
        QFETCH(QString, callback);
        QFETCH(QString, idTokenSent);
        QFETCH(QString, expectedError);
        SessionRig rig;
        rig.answerSignIn(QStringLiteral("t1"), QStringLiteral("r1"));
        AuthManager &session = signedOut(rig);
        // The browser answers later, through the program's URL handler.
        rig.browser.onOpen = [&](const QUrl &opened) {
            QTimer::singleShot(0, &session, [&session, url = answering(opened, callback)] {
                session.handleCallbackUrl(url);
            });
        };

        QVERIFY(awaitTask(session.signInWithGoogleTask()).succeeded());
        QCOMPARE(session.errorText(), expectedError);
        QVERIFY(!session.isLoading());
        const auto calls = rig.server.requestsFor(QStringLiteral("auth:signIn"));
        if (idTokenSent.isEmpty()) {
            QCOMPARE(calls.size(), 0);
            QVERIFY(!session.isAuthenticated());
            return;
        }
        QCOMPARE(calls.size(), 1);
        QCOMPARE(
            calls.first().args(),
            (QJsonObject{{QStringLiteral("provider"), QStringLiteral("google")},
                         {QStringLiteral("params"), QJsonObject{{QStringLiteral("idToken"), idTokenSent}}}}));
        QVERIFY(!calls.first().hasHeader("Authorization"));
        QVERIFY(session.isAuthenticated());
        QCOMPARE(rig.storedRefreshToken(), std::optional<QString>(QStringLiteral("r1")));
        QCOMPARE(
            rig.server.requestsFor(QStringLiteral("users:getCurrentUser")).last().header("Authorization"),
            QByteArray("Bearer t1"));
    }

    void googleCallbackDuringBrowserStart()
    {
        SessionRig rig;
        rig.answerSignIn(QStringLiteral("t1"), QStringLiteral("r1"));
        AuthManager &session = signedOut(rig);
        rig.browser.onOpen = [&](const QUrl &opened) {
            session.handleCallbackUrl(
                answering(opened, QStringLiteral("vocarta://auth/google#id_token=abc")));
        };
        QVERIFY(awaitTask(session.signInWithGoogleTask()).succeeded());
        QVERIFY(session.isAuthenticated());
    }

    void googleWithoutTokens()
    {
        SessionRig rig;
        rig.server.answer(QStringLiteral("auth:signIn"), Answer::noTokens());
        AuthManager &session = signedOut(rig);
        rig.browser.onOpen = [&](const QUrl &opened) {
            session.handleCallbackUrl(
                answering(opened, QStringLiteral("vocarta://auth/google#id_token=abc")));
        };
        QVERIFY(awaitTask(session.signInWithGoogleTask()).succeeded());
        QCOMPARE(session.errorText(), QStringLiteral("Auth failed: No tokens from Google sign-in"));
        QVERIFY(!session.isAuthenticated());
    }

    void googleTimesOut()
    {
        SessionRig rig;
        QVERIFY(rig.startSignedIn());
        AuthManager &session = *rig.manager;
        session.setGoogleCallbackTimeout(std::chrono::milliseconds(50));

        QVERIFY(awaitTask(session.signInWithGoogleTask()).succeeded());
        QCOMPARE(session.errorText(), cancelledText);
        QVERIFY(!session.isLoading());
        QVERIFY(session.isAuthenticated());
        QCOMPARE(rig.storedToken(), std::optional<QString>(QStringLiteral("t2")));

        // A late callback finds nobody waiting and changes nothing.
        session.handleCallbackUrl(QUrl(QStringLiteral("vocarta://auth/google#id_token=late")));
        QCOMPARE(rig.server.count(QStringLiteral("auth:signIn")), 1); // only the start-up refresh
    }

    void secondGoogleAttemptReplacesTheFirst()
    {
        SessionRig rig;
        rig.answerSignIn(QStringLiteral("t1"), QStringLiteral("r1"));
        AuthManager &session = signedOut(rig);

        auto first = startTask(session.signInWithGoogleTask());
        QCOMPARE(rig.browser.opened.size(), 1);
        auto second = startTask(session.signInWithGoogleTask());
        QCOMPARE(rig.browser.opened.size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(first->finished, 20000);
        // The newer attempt still waits, and owns the published state.
        QVERIFY(!second->finished);
        QVERIFY(session.isLoading());
        QVERIFY(!session.hasError());

        // The first attempt's answer is no answer to the second.
        LogCapture log;
        session.handleCallbackUrl(
            answering(rig.browser.opened.first(), QStringLiteral("vocarta://auth/google#id_token=old")));
        QCOMPARE(log.allLines().size(), 1);
        session.handleCallbackUrl(
            answering(rig.browser.opened.last(), QStringLiteral("vocarta://auth/google#id_token=abc")));
        QTRY_VERIFY_WITH_TIMEOUT(second->finished, 20000);
        QVERIFY(session.isAuthenticated());
        QVERIFY(!session.isLoading());
        QCOMPARE(rig.server.count(QStringLiteral("auth:signIn")), 1);
    }

    void googleWithoutBrowser()
    {
        SessionRig rig;
        AuthManager &session = signedOut(rig);
        rig.browser.works = false;
        QVERIFY(awaitTask(session.signInWithGoogleTask()).succeeded());
        QCOMPARE(session.errorText(), QStringLiteral("The web browser could not be opened."));
        QVERIFY(!session.isLoading());
    }

    void strayCallbacksAreIgnored()
    {
        LogCapture log;
        SessionRig rig;
        AuthManager &session = signedOut(rig);
        session.handleCallbackUrl(QUrl(QStringLiteral("vocarta://auth/google#id_token=abc")));
        session.handleCallbackUrl(QUrl(QStringLiteral("https://example.com/#id_token=abc")));
        session.setGoogleCallbackTimeout(std::chrono::milliseconds(200));
        rig.browser.onOpen = [&](const QUrl &opened) {
            // Another page's link, with its own id_token: without this attempt's
            // state, or at another address with it.
            session.handleCallbackUrl(
                QUrl(QStringLiteral("vocarta://auth/google#id_token=forged&state=guess")));
            session.handleCallbackUrl(QUrl(QStringLiteral("vocarta://auth/google#id_token=forged")));
            session.handleCallbackUrl(
                answering(opened, QStringLiteral("vocarta://evil/google#id_token=forged")));
            session.handleCallbackUrl(
                answering(opened, QStringLiteral("https://example.com/#id_token=forged")));
        };
        QVERIFY(awaitTask(session.signInWithGoogleTask()).succeeded());
        QCOMPARE(session.errorText(), cancelledText);
        QVERIFY(rig.server.requestsFor(QStringLiteral("auth:signIn")).isEmpty());
        QVERIFY(!session.isAuthenticated());

        // Reported once before the attempt and once during it, never with what came in.
        const QString ignored =
            QStringLiteral("[Vocarta] Ignored a vocarta:// link that does not answer a pending sign-in.");
        QCOMPARE(log.allLines(), (QStringList{ignored, ignored}));
    }

    void appleIsNotOffered()
    {
        SessionRig rig;
        AuthManager &session = signedOut(rig);
        FlagRecorder flags(session);
        QVERIFY(awaitTask(session.signInWithAppleTask()).succeeded());
        QCOMPARE(session.errorText(), QStringLiteral("Sign in with Apple is not available on this system."));
        QCOMPARE(flags.loading, (QList<bool>{true, false}));
        QVERIFY(!session.isAuthenticated());
        QVERIFY(rig.server.requestsFor(QStringLiteral("auth:signIn")).isEmpty());
    }

    void fragmentDecoding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded"); // "<none>" when it does not decode
        QTest::newRow("plain") << QStringLiteral("abc") << QStringLiteral("abc");
        QTest::newRow("utf-8") << QStringLiteral("%C3%A5r") << QStringLiteral("år");
        QTest::newRow("truncated escape") << QStringLiteral("ab%4") << QStringLiteral("<none>");
        QTest::newRow("not hex") << QStringLiteral("%G1") << QStringLiteral("<none>");
        QTest::newRow("not utf-8") << QStringLiteral("%C3%28") << QStringLiteral("<none>");
    }

    void fragmentDecoding()
    {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        QCOMPARE(OAuthFragment::percentDecoded(text).value_or(QStringLiteral("<none>")), decoded);
    }
};

QTEST_GUILESS_MAIN(SignInTest)
#include "SignInTest.moc"
