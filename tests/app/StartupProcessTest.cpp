// Starts the real program against the fake deployment and this session's
// keyring, with a tray host running, and watches what it does.
#include "FakeDeployment.h"
#include "FakeSyncEndpoint.h"
#include "TestSupport.h"
#include "TrayerProcess.h"
#include "XWindowSearch.h"
#include "auth/AuthManager.h"
#include "platform/secret/LibsecretStore.h"

#include <QJsonArray>
#include <QProcess>
#include <QtTest>

#include <QCoroTask>

namespace {

using Answer = FakeDeployment::Answer;
const QString service = QStringLiteral("me.brindlefox.vocarta.menubar");

bool subscribedToDecks(const FakeSyncEndpoint &sync)
{
    for (const auto &frame : sync.frames()) {
        if (frame.type() == u"ModifyQuerySet" && frame.text.contains(QStringLiteral("decks:listDecks")))
            return true;
    }
    return false;
}

} // namespace

class StartupProcessTest : public QObject {
    Q_OBJECT

    FakeDeployment *m_deployment = nullptr;
    FakeSyncEndpoint *m_sync = nullptr;
    LibsecretStore m_keyring;

    QProcess *startProgram()
    {
        auto *program = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VOCARTA_DEPLOYMENT_URL", m_deployment->url().toString());
        env.insert("VOCARTA_TRAY_WAIT_MS", "20000");
        program->setProcessEnvironment(env);
        program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program->start(QCoreApplication::applicationDirPath() + QStringLiteral("/vocarta-menubar"), {});
        return program;
    }
    void stop(QProcess *program)
    {
        program->terminate();
        QVERIFY(program->waitForFinished(20000));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 0);
        delete program;
    }

private Q_SLOTS:
    void init()
    {
        m_deployment = new FakeDeployment(this);
        m_sync = new FakeSyncEndpoint(this);
        m_sync->attachTo(*m_deployment);
        // The stored access token is still valid, as it usually is at a start.
        m_sync->setAcceptedTokens({"t1", "t2"});
        m_sync->setQueryResult("decks:listDecks", QJsonArray{deckJson("d1", "Spanish", "es")});
        m_sync->setQueryResult("decks:getActiveDeck", QJsonValue());
        m_deployment->answer("auth:signIn", Answer::issued("t2", "r2"));
        m_deployment->answer("users:getCurrentUser",
                             Answer::success(QJsonObject{{"email", "ana@example.com"}}));
        QCoro::waitFor(m_keyring.remove(service, AuthManager::tokenKey));
        QCoro::waitFor(m_keyring.remove(service, AuthManager::refreshTokenKey));
    }
    void cleanup()
    {
        delete m_sync;
        delete m_deployment;
    }

    void firstStartWithoutSessionShowsTheSignInWindow()
    {
        TrayerProcess trayer;
        QVERIFY(trayer.started());
        QProcess *program = startProgram();
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowNamed("Vocarta Settings"), 30000);
        QVERIFY(!subscribedToDecks(*m_sync));
        QVERIFY(m_deployment->requestsFor("auth:signIn").isEmpty());
        stop(program);
    }

    void startWithStoredSessionSubscribesAndOpensNothing()
    {
        QCoro::waitFor(m_keyring.save(service, AuthManager::tokenKey, "t1", "Vocarta access token"));
        QCoro::waitFor(m_keyring.save(service, AuthManager::refreshTokenKey, "r1", "Vocarta refresh token"));
        TrayerProcess trayer;
        QVERIFY(trayer.started());
        QProcess *program = startProgram();
        QTRY_VERIFY_WITH_TIMEOUT(subscribedToDecks(*m_sync), 30000);
        QCOMPARE(m_deployment->requestsFor("auth:signIn").size(), 1);
        QVERIFY(!visibleWindowNamed("Vocarta Settings"));
        // The rotated pair is what the next start will find.
        QTRY_COMPARE_WITH_TIMEOUT(QCoro::waitFor(m_keyring.load(service, AuthManager::refreshTokenKey)),
                                  std::optional<QString>("r2"), 20000);
        stop(program);
    }

    void quitWhileTheRotatedPairIsWrittenKeepsIt()
    {
        QCoro::waitFor(m_keyring.save(service, AuthManager::tokenKey, "t1", "Vocarta access token"));
        QCoro::waitFor(m_keyring.save(service, AuthManager::refreshTokenKey, "r1", "Vocarta refresh token"));
        TrayerProcess trayer;
        QVERIFY(trayer.started());
        QProcess *program = startProgram();
        QSignalSpy finished(program, &QProcess::finished);
        // The e-mail query follows the start-up refresh at once, when the
        // rotated pair has just gone to the keyring: stop the program there.
        connect(m_deployment, &FakeDeployment::requestReceived, program, [program](const auto &request) {
            if (request.functionPath() == QStringLiteral("users:getCurrentUser"))
                program->terminate();
        });
        QVERIFY(finished.wait(30000));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 0);
        delete program;
        QCOMPARE(QCoro::waitFor(m_keyring.load(service, AuthManager::tokenKey)),
                 std::optional<QString>("t2"));
        QCOMPARE(QCoro::waitFor(m_keyring.load(service, AuthManager::refreshTokenKey)),
                 std::optional<QString>("r2"));
    }
};

QTEST_MAIN(StartupProcessTest)
#include "StartupProcessTest.moc"
