#include "SecretTestSession.h"
#include "TestSupport.h"

#include "platform/secret/HelperSecretStore.h"
#include "platform/secret/LibsecretStore.h"

#include <QCoroTask>
#include <QProcess>
#include <QTemporaryDir>

// A desktop without a Secret Service: a private bus of our own on which nothing
// provides or can start org.freedesktop.secrets. Also a helper that is missing
// or broken: the program's store behaves the same.
class LibsecretUnavailableTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QProcess bus;

private Q_SLOTS:
    void initTestCase()
    {
        REQUIRE_PRIVATE_SESSION();
        QVERIFY(dir.isValid());
        QFile config(dir.filePath(QStringLiteral("bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                     "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>session</type><listen>unix:dir=" +
                     dir.path().toUtf8() +
                     "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        config.close();
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                   QStringLiteral("--config-file=") + config.fileName()});
        QVERIFY(bus.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 20000);
        const QByteArray address = bus.readLine().trimmed();
        QVERIFY2(!address.isEmpty(), "the private bus printed no address");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }

    void cleanupTestCase()
    {
        if (bus.state() != QProcess::NotRunning) {
            bus.kill();
            bus.waitForFinished(20000);
        }
    }

    void everythingCompletesQuietlyWithOneWarning_data()
    {
        QTest::addColumn<QString>("helper");
        QTest::newRow("no Secret Service") << QStringLiteral(VOCARTA_SECRET_HELPER);
        QTest::newRow("no helper") << QStringLiteral("/nonexistent/vocarta-secret-helper");
        QTest::newRow("helper fails") << QStringLiteral("/bin/false");
        QTest::newRow("helper says nothing") << QStringLiteral("/bin/true");
    }

    void everythingCompletesQuietlyWithOneWarning()
    {
        QFETCH(QString, helper);
        LogCapture log;
        HelperSecretStore store(helper);
        const QString service = QStringLiteral("me.brindlefox.vocarta.menubar");
        const QString account = QStringLiteral("me.brindlefox.vocarta.menubar.jwt");

        QCoro::waitFor(store.save(service, account, QStringLiteral("token"), QStringLiteral("label")));
        QCOMPARE(QCoro::waitFor(store.load(service, account)), std::nullopt);
        QCoro::waitFor(store.remove(service, account));
        QCOMPARE(QCoro::waitFor(store.load(service, account)), std::nullopt);

        const QStringList lines = log.allLines();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(log.lines(LogChannel::Warning), lines); // standard error, not the shell's output
        QVERIFY2(lines.first().startsWith(QStringLiteral("[Vocarta] ")), qPrintable(lines.first()));
        QVERIFY2(lines.first().contains(QStringLiteral("will not be kept across restarts")),
                 qPrintable(lines.first()));
        QVERIFY(!lines.first().contains(QStringLiteral("token")));
    }

    void libsecretSaysWhy()
    {
        LibsecretStore store;
        QCOMPARE(QCoro::waitFor(store.load(QStringLiteral("s"), QStringLiteral("a"))), std::nullopt);
        QVERIFY(store.failure());
        QVERIFY(!store.failure()->isEmpty());
    }
};

QTEST_GUILESS_MAIN(LibsecretUnavailableTest)
#include "LibsecretUnavailableTest.moc"
