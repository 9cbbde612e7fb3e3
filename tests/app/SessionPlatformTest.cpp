#include "platform/SessionPlatform.h"

#include <QtTest>

// The platform asked for at start, by session.
class SessionPlatformTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choosesXwaylandOnlyOnGnomeWayland_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QByteArray>("platform");
        const QString display = QStringLiteral("DISPLAY=:0");
        const QString wayland = QStringLiteral("XDG_SESSION_TYPE=wayland");
        QTest::newRow("GNOME on Wayland")
            << QStringList{display, wayland, QStringLiteral("XDG_CURRENT_DESKTOP=GNOME")}
            << QByteArray("xcb;wayland");
        QTest::newRow("Ubuntu's GNOME")
            << QStringList{display, wayland, QStringLiteral("XDG_CURRENT_DESKTOP=ubuntu:GNOME")}
            << QByteArray("xcb;wayland");
        QTest::newRow("the user's own choice stands")
            << QStringList{display, wayland, QStringLiteral("XDG_CURRENT_DESKTOP=GNOME"),
                           QStringLiteral("QT_QPA_PLATFORM=wayland")}
            << QByteArray();
        QTest::newRow("GNOME without Xwayland")
            << QStringList{wayland, QStringLiteral("XDG_CURRENT_DESKTOP=GNOME")} << QByteArray();
        QTest::newRow("GNOME on Xorg") << QStringList{display, QStringLiteral("XDG_SESSION_TYPE=x11"),
                                                      QStringLiteral("XDG_CURRENT_DESKTOP=GNOME")}
                                       << QByteArray();
        QTest::newRow("KDE on Wayland")
            << QStringList{display, wayland, QStringLiteral("XDG_CURRENT_DESKTOP=KDE")} << QByteArray();
        QTest::newRow("a desktop merely named alike")
            << QStringList{display, wayland, QStringLiteral("XDG_CURRENT_DESKTOP=GNOME-Flashback-ish")}
            << QByteArray();
    }

    void choosesXwaylandOnlyOnGnomeWayland()
    {
        QFETCH(QStringList, environment);
        QFETCH(QByteArray, platform);
        QProcessEnvironment env;
        for (const QString &entry : environment)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        QCOMPARE(SessionPlatform::preferred(env), platform);
    }
};

QTEST_GUILESS_MAIN(SessionPlatformTest)
#include "SessionPlatformTest.moc"
