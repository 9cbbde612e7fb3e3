#include "FakeDeckState.h"
#include "FakeSession.h"
#include "QuickItemSearch.h"
#include "app/AppWindows.h"
#include "platform/AutostartFile.h"
#include "platform/AutostartPortal.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <qcoro/qcorotask.h>

namespace {

// The Background portal as xdg-desktop-portal serves it: the call's reply,
// then the Response signal on the request path made from the handle token.
class FakeBackgroundPortal : public QDBusVirtualObject {
public:
    QList<QVariantMap> requests;
    bool refuseCall = false; // as a portal without a Background backend answers
    uint code = 0;
    std::optional<bool> grant; // what the user allows; by default what was asked

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != QLatin1String("org.freedesktop.portal.Background") ||
            message.member() != QLatin1String("RequestBackground")) {
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), message.member()));
            return true;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(1));
        requests << options;
        if (refuseCall) {
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                                         QStringLiteral("No such interface")));
            return true;
        }
        QString sender = message.service().mid(1);
        sender.replace(u'.', u'_');
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + u'/' +
                             options.value(QStringLiteral("handle_token")).toString();
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
        QDBusMessage response = QDBusMessage::createSignal(
            path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << code
                 << QVariantMap{{QStringLiteral("background"), true},
                                {QStringLiteral("autostart"),
                                 grant.value_or(options.value(QStringLiteral("autostart")).toBool())}};
        connection.send(response);
        return true;
    }
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// desktop-file-validate's verdict, with its complaints.
QString validate(const QString &path)
{
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validator.waitForFinished(60000))
        return QStringLiteral("desktop-file-validate did not finish");
    const QString output = QString::fromUtf8(validator.readAll());
    return validator.exitCode() == 0 && !output.contains(QLatin1String("error")) ? QString() : output;
}

// A fresh bus of the test's own: on the session's bus a real portal may
// already hold the name the fake needs (activated by an earlier test).
class PrivateBus {
public:
    PrivateBus()
    {
        m_config.open();
        m_config.write("<busconfig><include>/usr/share/dbus-1/session.conf</include></busconfig>");
        m_config.flush();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + m_config.fileName(), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (m_daemon.waitForStarted(20000) && m_daemon.waitForReadyRead(20000))
            m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~PrivateBus()
    {
        for (const QString &name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
        m_daemon.terminate();
        m_daemon.waitForFinished(10000);
    }
    QDBusConnection connect(const QString &name)
    {
        m_connections << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryFile m_config;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

} // namespace

class StartAtLoginTest : public QObject {
    Q_OBJECT

    // A program file at `path` that can be executed.
    static void makeProgram(const QString &path)
    {
        writeFile(path, "#!/bin/sh\n");
        QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner));
    }

private Q_SLOTS:
    void entryFollowsTheSwitch()
    {
        QTemporaryDir home;
        const QString program = home.filePath(QStringLiteral("bin/vocarta-menubar"));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("bin"))));
        makeProgram(program);
        // The folder does not exist yet on a fresh account.
        AutostartFile autostart(home.filePath(QStringLiteral("config/autostart")), program);
        QSignalSpy changed(&autostart, &Autostart::enabledChanged);
        autostart.refresh();
        QVERIFY(!autostart.isEnabled());

        QVERIFY(QCoro::waitFor(autostart.change(true)));
        QVERIFY(autostart.isEnabled());
        QCOMPARE(changed.count(), 1);
        const QByteArray entry = readAll(autostart.filePath());
        QVERIFY(autostart.filePath().endsWith(
            QLatin1String("/config/autostart/me.brindlefox.vocarta.menubar.desktop")));
        QVERIFY2(entry.contains(QByteArray("\nExec=" + program.toUtf8() + " --autostart\n")),
                 entry.constData());
        QCOMPARE(validate(autostart.filePath()), QString());
        // Nothing left over from the atomic write.
        QCOMPARE(QDir(home.filePath(QStringLiteral("config/autostart"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("me.brindlefox.vocarta.menubar.desktop")});

        QVERIFY(!QCoro::waitFor(autostart.change(false)));
        QVERIFY(!QFile::exists(autostart.filePath()));
        QVERIFY(!autostart.isEnabled());
        // Off when already off is no failure.
        QVERIFY(!QCoro::waitFor(autostart.change(false)));
    }

    void entrySwitchedOffByTheDesktopReadsOff_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("enabled");
        const QByteArray head =
            "[Desktop Entry]\nType=Application\nName=Vocarta Menubar\nExec=vocarta-menubar --autostart\n";
        QTest::newRow("ours") << head << true;
        QTest::newRow("hidden") << QByteArray(head + "Hidden=true\n") << false;
        QTest::newRow("gnome off") << QByteArray(head + "X-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("gnome on") << QByteArray(head + "X-GNOME-Autostart-enabled=true\n") << true;
        QTest::newRow("hidden in another group")
            << QByteArray(head + "[Desktop Action x]\nHidden=true\n") << true;
    }
    void entrySwitchedOffByTheDesktopReadsOff()
    {
        QFETCH(QByteArray, entry);
        QFETCH(bool, enabled);
        QTemporaryDir dir;
        AutostartFile autostart(dir.path(), QStringLiteral("/usr/bin/vocarta-menubar"));
        writeFile(autostart.filePath(), entry);
        autostart.refresh();
        QCOMPARE(autostart.isEnabled(), enabled);
        // Turning it on again writes an entry that is on.
        QVERIFY(QCoro::waitFor(autostart.change(true)));
        QVERIFY(autostart.isEnabled());
    }

    void execLineQuotesReservedCharacters_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("onPath");
        QTest::addColumn<QString>("expected"); // with %1 for the temporary folder
        QTest::newRow("found by name") << "bin" << true << "vocarta-menubar --autostart";
        QTest::newRow("elsewhere") << "build/bin" << false << "%1/build/bin/vocarta-menubar --autostart";
        QTest::newRow("space") << "my build" << false << "\"%1/my build/vocarta-menubar\" --autostart";
        QTest::newRow("dollar and quote")
            << "a$b\"c" << false << "\"%1/a\\\\$b\\\\\"c/vocarta-menubar\" --autostart";
        QTest::newRow("percent") << "100%" << false << "%1/100%%/vocarta-menubar --autostart";
    }
    void execLineQuotesReservedCharacters()
    {
        QFETCH(QString, folder);
        QFETCH(bool, onPath);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(folder));
        const QString program = dir.filePath(folder + QStringLiteral("/vocarta-menubar"));
        makeProgram(program);
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", (onPath ? dir.filePath(folder).toUtf8() + ':' : QByteArray()) + savedPath);
        const QString line = AutostartFile::execLine(program);
        qputenv("PATH", savedPath);
        QCOMPARE(line, QString(expected).replace(QLatin1String("%1"), dir.path()));

        // The whole entry stays valid with that line in it.
        AutostartFile autostart(dir.filePath(QStringLiteral("autostart")), program);
        QVERIFY(QCoro::waitFor(autostart.change(true)));
        QCOMPARE(validate(autostart.filePath()), QString());
    }

    void portalIsAskedInsideTheSandbox()
    {
        PrivateBus bus;
        QDBusConnection portalBus = bus.connect(QStringLiteral("fake-background-portal"));
        QDBusConnection clientBus = bus.connect(QStringLiteral("program"));
        QVERIFY(clientBus.isConnected());
        FakeBackgroundPortal portal;
        QVERIFY(portalBus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal));
        QVERIFY(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        QSettings().remove(AutostartPortal::settingsKey);

        AutostartPortal autostart(clientBus, {"vocarta-menubar", "--autostart"});
        autostart.refresh();
        QVERIFY(!autostart.isEnabled());

        QVERIFY(QCoro::waitFor(autostart.change(true)));
        QVERIFY(autostart.isEnabled());
        QCOMPARE(portal.requests.size(), 1);
        const QVariantMap asked = portal.requests.constFirst();
        QCOMPARE(asked.value("autostart").toBool(), true);
        QCOMPARE(asked.value("commandline").toStringList(), (QStringList{"vocarta-menubar", "--autostart"}));
        QCOMPARE(asked.value("dbus-activatable").toBool(), false);
        QVERIFY(!asked.value("reason").toString().isEmpty());

        // The portal cannot be asked later: a new start reads the last answer.
        AutostartPortal nextStart(clientBus, {"vocarta-menubar", "--autostart"});
        nextStart.refresh();
        QVERIFY(nextStart.isEnabled());

        // The user says no: nothing changes.
        portal.code = 1;
        QVERIFY(QCoro::waitFor(autostart.change(false)));
        QVERIFY(autostart.isEnabled());

        // The user allows running in the background but not at login.
        portal.code = 0;
        portal.grant = false;
        QVERIFY(!QCoro::waitFor(autostart.change(true)));
        QVERIFY(!autostart.isEnabled());
        QCOMPARE(portal.requests.size(), 3);

        // A portal that cannot do it: off stays off, with a warning.
        portal.refuseCall = true;
        QVERIFY(!QCoro::waitFor(autostart.change(true)));
        QVERIFY(!autostart.isEnabled());
    }

    void accountTabSwitchWritesAndRereadsTheEntry()
    {
        QTemporaryDir dir;
        AutostartFile autostart(dir.filePath(QStringLiteral("autostart")),
                                QStringLiteral("/usr/bin/vocarta-menubar"));
        QQmlEngine engine;
        FakeSession session;
        FakeDeckState decks;
        AppWindows windows(engine, session, decks);
        windows.setStartAtLogin(&autostart);
        windows.openSettingsWindow();
        QQuickWindow *window = windows.settingsWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window, 20000));
        QQuickItem *toggle = findItem(window->contentItem(), QStringLiteral("startAtLoginSwitch"));
        QVERIFY(toggle);
        QTRY_VERIFY_WITH_TIMEOUT(toggle->isVisible() && toggle->width() > 0, 20000);
        QCOMPARE(toggle->property("checked").toBool(), false);

        const auto click = [&] {
            QSignalSpy frame(window, &QQuickWindow::frameSwapped);
            window->update();
            QVERIFY(frame.wait(20000));
            const QPoint centre =
                toggle->mapToScene(QPointF(toggle->width() / 2, toggle->height() / 2)).toPoint();
            QTest::mouseClick(window, Qt::LeftButton, {}, centre);
        };
        click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(autostart.filePath()), 20000);
        QVERIFY(toggle->property("checked").toBool());
        click();
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(autostart.filePath()), 20000);
        QVERIFY(!toggle->property("checked").toBool());
        // Still bound to the setting after the user's clicks.
        QVERIFY(QCoro::waitFor(autostart.change(true)));
        QVERIFY(toggle->property("checked").toBool());
        QVERIFY(!QCoro::waitFor(autostart.change(false)));

        // Turned on elsewhere (the desktop's own settings) while the window was
        // closed: the next showing reads it.
        window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 20000);
        writeFile(autostart.filePath(),
                  "[Desktop Entry]\nType=Application\nName=V\nExec=vocarta-menubar --autostart\n");
        QVERIFY(!toggle->property("checked").toBool());
        windows.openSettingsWindow();
        QTRY_VERIFY_WITH_TIMEOUT(toggle->property("checked").toBool(), 20000);
    }
};

QTEST_MAIN(StartAtLoginTest)
#include "StartAtLoginTest.moc"
