#include "TestSupport.h"
#include "platform/SystemHotKeyService.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>

// A desktop with neither the portal nor X11 (here: Qt's offscreen platform
// on a bus without a portal): the program says once how to bind
// `--capture` instead, and nothing fails.
class HotKeyFallbackTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void saysOnceThatNoMechanismExists()
    {
        LogCapture log;
        SystemHotKeyService service;
        HotKeyService::Chord chord;
        chord.evdevCode = 37;
        chord.control = true;
        service.registerHotKey(chord);
        QTRY_COMPARE_WITH_TIMEOUT(service.mechanism(), QStringLiteral("none"), 20000);
        service.unregisterHotKey();
        service.registerHotKey(chord);
        QVERIFY(!service.isKeyHeld());
        QCOMPARE(log.lines(LogChannel::Shell).count(SystemHotKeyService::noMechanismMessage), 1);
        QVERIFY(
            SystemHotKeyService::noMechanismMessage.contains(QStringLiteral("vocarta-menubar --capture")));
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    HotKeyFallbackTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HotKeyFallbackTest.moc"
