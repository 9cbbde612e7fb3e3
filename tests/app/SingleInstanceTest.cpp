#include "platform/SingleInstance.h"
#include "XWindowSearch.h"
#include "platform/dbus/DBusSingleInstance.h"
#include "platform/dbus/LocalSocketSingleInstance.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <QCoroTask>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Role = SingleInstance::Role;
using Delivery = SingleInstance::Delivery;

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vocarta-menubar");
}

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

// Keeps this process's event loop running meanwhile: it may be the copy
// that the program hands its request to.
Run runProgram(const QStringList &arguments, int timeoutMs = 30000,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(program(), arguments);
    Run run;
    if (!finished.wait(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// A variable of this process set (or, empty, removed) for as long as it lives.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char *name, const QByteArray &value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_saved(qgetenv(name))
    {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentOverride()
    {
        if (m_wasSet)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }
    Q_DISABLE_COPY_MOVE(EnvironmentOverride)

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_saved;
};

// xdotool fails now and then when a window goes away during its search: ask
// again until the deadline.
bool waitForVisibleWindow(const QString &title, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (visibleWindowNamed(title))
            return true;
        QTest::qWait(200);
    }
    return false;
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sessionBusNameIsOwnedOnce()
    {
        const QString name = QStringLiteral("me.brindlefox.vocarta.menubar.test");
        DBusSingleInstance first(QDBusConnection::sessionBus(), name);
        QCOMPARE(QCoro::waitFor(first.claim()), Role::Primary);

        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second-start");
        {
            DBusSingleInstance second(other, name);
            QCOMPARE(QCoro::waitFor(second.claim()), Role::Secondary);
            QSignalSpy activated(&first, &SingleInstance::activated);
            QCOMPARE(QCoro::waitFor(second.forward({"--preferences"}, "token-1")), Delivery::Delivered);
            QTRY_COMPARE(activated.size(), 1);
            QCOMPARE(activated.first().at(0).toStringList(), QStringList{"--preferences"});
            QCOMPARE(activated.first().at(1).toString(), QStringLiteral("token-1"));
        }
        QDBusConnection::disconnectFromBus("second-start");
    }

    void localSocketFallback()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("instance.socket");
        // A file left behind by a copy that crashed does not block the next start.
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();

        LocalSocketSingleInstance first(path);
        QCOMPARE(QCoro::waitFor(first.claim()), Role::Primary);
        LocalSocketSingleInstance second(path);
        QCOMPARE(QCoro::waitFor(second.claim()), Role::Secondary);

        QSignalSpy activated(&first, &SingleInstance::activated);
        QCOMPARE(QCoro::waitFor(second.forward({"vocarta://auth/google#x=1"}, "")), Delivery::Delivered);
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(activated.first().at(0).toStringList(), QStringList{"vocarta://auth/google#x=1"});

        // Anything else on the socket is refused and changes nothing.
        for (const QByteArray &junk : {QByteArray("{\"arguments\": [1], \"token\": \"\"}\n"),
                                       QByteArray("not json\n"), QByteArray(70000, 'x')}) {
            QLocalSocket raw;
            raw.connectToServer(path);
            QVERIFY(raw.waitForConnected(10000));
            raw.write(junk);
            QTRY_VERIFY_WITH_TIMEOUT(
                raw.state() == QLocalSocket::UnconnectedState || raw.bytesAvailable() > 0, 20000);
            QVERIFY(!raw.readAll().startsWith("ok"));
        }
        QCOMPARE(activated.size(), 1);
    }

    // The fallback socket carries sign-in callbacks: it lives only in a
    // directory that is this user's alone.
    void socketDirectoryMustBePrivate_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("usable");
        QTest::newRow("missing: made 0700") << "missing" << true;
        QTest::newRow("ours, 0700") << "private" << true;
        QTest::newRow("ours, 0755") << "open" << false;
        QTest::newRow("a link to a private directory") << "link" << false;
        QTest::newRow("another user's, 0700") << "foreign" << false;
    }
    void socketDirectoryMustBePrivate()
    {
        QFETCH(QString, setup);
        QFETCH(bool, usable);
        QTemporaryDir root;
        const QString directory = root.filePath("instance");
        if (setup != "missing") {
            const QString real = setup == "link" ? root.filePath("target") : directory;
            QVERIFY(QDir().mkdir(real, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            if (setup == "open")
                QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                        QFile::ReadOther | QFile::ExeOther));
            if (setup == "link")
                QVERIFY(QFile::link(real, directory));
            if (setup == "foreign" && ::chown(QFile::encodeName(real).constData(), 65534, 65534) != 0)
                QSKIP("needs to run as root to hand a directory to another user");
        }
        const QString path = directory + "/instance.socket";
        LocalSocketSingleInstance first(path);
        QCOMPARE(QCoro::waitFor(first.claim()), usable ? Role::Primary : Role::Unavailable);
        LocalSocketSingleInstance second(path);
        QCOMPARE(QCoro::waitFor(second.forward({"--capture"}, "")),
                 usable ? Delivery::Delivered : Delivery::Failed);
        struct stat info {};
        QCOMPARE(::lstat(QFile::encodeName(directory).constData(), &info), 0);
        if (usable)
            QCOMPARE(info.st_mode & 07777, mode_t(0700));
        QVERIFY(!QFileInfo::exists(root.filePath("target/instance.socket")));
    }

    // Each end checks who runs the other before it trusts it.
    void peerMustBeTheSameUser()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("instance.socket");
        const uid_t someoneElse = ::getuid() + 1;
        {
            // A listener that expects another user refuses us.
            LocalSocketSingleInstance listener(path, someoneElse);
            QCOMPARE(QCoro::waitFor(listener.claim()), Role::Primary);
            QSignalSpy activated(&listener, &SingleInstance::activated);
            LocalSocketSingleInstance client(path);
            QCOMPARE(QCoro::waitFor(client.forward({"vocarta://auth/google#id_token=x"}, "")),
                     Delivery::Failed);
            QCOMPARE(activated.size(), 0);
        }
        {
            // A client that expects another user sends nothing to us.
            LocalSocketSingleInstance listener(path);
            QCOMPARE(QCoro::waitFor(listener.claim()), Role::Primary);
            QSignalSpy activated(&listener, &SingleInstance::activated);
            LocalSocketSingleInstance client(path, someoneElse);
            QCOMPARE(QCoro::waitFor(client.forward({"vocarta://auth/google#id_token=x"}, "")),
                     Delivery::Failed);
            QCOMPARE(QCoro::waitFor(client.claim()), Role::Unavailable);
            QCOMPARE(activated.size(), 0);
        }
    }

    void commandLineWithoutARunningCopy()
    {
        const Run help = runProgram({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith("Usage: vocarta-menubar"));
        const Run version = runProgram({"--version"});
        QCOMPARE(version.exitCode, 0);
        QVERIFY(version.out.startsWith("vocarta-menubar "));
        for (const QStringList &bad : {QStringList{"--bogus"}, QStringList{"--capture", "--preferences"},
                                       QStringList{"https://evil.example/"}, QStringList{"-platform"}}) {
            const Run run = runProgram(bad);
            QCOMPARE(run.exitCode, 2);
            QVERIFY(run.err.contains("Usage: vocarta-menubar"));
            QVERIFY(run.out.isEmpty());
        }
    }

    void secondStartHandsOverItsRequest()
    {
        // This test is the running copy; the real program is the second start.
        DBusSingleInstance running(QDBusConnection::sessionBus(),
                                   QStringLiteral("me.brindlefox.vocarta.menubar"));
        QCOMPARE(QCoro::waitFor(running.claim()), Role::Primary);
        QSignalSpy activated(&running, &SingleInstance::activated);
        for (const QStringList &arguments :
             {QStringList{}, QStringList{"--preferences"}, QStringList{"--capture"},
              QStringList{"vocarta://auth/google#access_token=a&state=s"}}) {
            const Run run = runProgram(arguments);
            QCOMPARE(run.exitCode, 0);
            QTRY_VERIFY(!activated.isEmpty());
            QCOMPARE(activated.takeFirst().at(0).toStringList(), arguments);
        }
    }

    // The launcher forwards the common requests itself, the program the rest:
    // both read the desktop's token the same way.
    void secondStartCarriesTheActivationToken_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("xdgToken");
        QTest::addColumn<QByteArray>("startupId");
        QTest::addColumn<QString>("expected");
        const QStringList capture{"--capture"};
        const QStringList url{"vocarta://auth/google#state=s"};
        QTest::newRow("wayland token") << capture << QByteArray("wl-1") << QByteArray() << "wl-1";
        QTest::newRow("x11 startup id")
            << capture << QByteArray() << QByteArray("x11-1_TIME42") << "x11-1_TIME42";
        QTest::newRow("both: wayland's wins")
            << QStringList{} << QByteArray("wl-2") << QByteArray("x11-2") << "wl-2";
        QTest::newRow("none") << QStringList{"--preferences"} << QByteArray() << QByteArray() << "";
        QTest::newRow("not UTF-8: none") << capture << QByteArray("wl-\xff") << QByteArray() << "";
        QTest::newRow("program: x11 startup id") << url << QByteArray() << QByteArray("x11-3") << "x11-3";
        QTest::newRow("program: both") << url << QByteArray("wl-4") << QByteArray("x11-4") << "wl-4";
    }
    void secondStartCarriesTheActivationToken()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, xdgToken);
        QFETCH(QByteArray, startupId);
        QFETCH(QString, expected);
        DBusSingleInstance running(QDBusConnection::sessionBus(),
                                   QStringLiteral("me.brindlefox.vocarta.menubar"));
        QCOMPARE(QCoro::waitFor(running.claim()), Role::Primary);
        QSignalSpy activated(&running, &SingleInstance::activated);
        // Taken from this process's own environment, which keeps the bytes
        // as they are (QProcessEnvironment::insert would make them UTF-8).
        QProcessEnvironment environment;
        {
            const EnvironmentOverride xdg("XDG_ACTIVATION_TOKEN", xdgToken);
            const EnvironmentOverride startup("DESKTOP_STARTUP_ID", startupId);
            environment = QProcessEnvironment::systemEnvironment();
        }
        const Run run = runProgram(arguments, 30000, environment);
        QCOMPARE(run.exitCode, 0);
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(activated.first().at(0).toStringList(), arguments);
        QCOMPARE(activated.first().at(1).toString(), expected);
    }

    // Something owns the name but takes no request: the start says so and
    // fails, whether the launcher or the program asked.
    void ownerThatDoesNotAnswer()
    {
        QDBusConnection squatter =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("squatter"));
        QVERIFY(squatter.registerService(QStringLiteral("me.brindlefox.vocarta.menubar")));
        for (const QStringList &arguments :
             {QStringList{"--capture"}, QStringList{"vocarta://auth/google#e=1"}}) {
            const Run run = runProgram(arguments);
            QCOMPARE(run.exitCode, 1);
            QCOMPARE(run.err, QByteArray("vocarta-menubar: the running copy did not answer\n"));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("squatter"));
    }

    void twoRealProcesses()
    {
        QProcess first;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VOCARTA_TRAY_WAIT_MS", "0");
        first.setProcessEnvironment(env);
        first.start(program(), {});
        QVERIFY(first.waitForStarted(10000));
        // No tray in this session: the program says so once its start is done.
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += first.readAllStandardOutput()).contains("No system tray"), 30000);
        QVERIFY(waitForVisibleWindow("Vocarta Settings"));

        QCOMPARE(runProgram({"--preferences"}).exitCode, 0);
        QVERIFY(waitForVisibleWindow("Vocarta Menubar Settings"));
        QCOMPARE(runProgram({"--capture"}).exitCode, 0);
        // What the hot key does: the overlay opens.
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowNamed("Add card"), 20000);
        QCOMPARE(runProgram({"vocarta://auth/google#error=access_denied"}).exitCode, 0);
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
