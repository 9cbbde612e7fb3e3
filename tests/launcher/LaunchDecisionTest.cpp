#include "launcher/LaunchDecision.h"

#include <QtTest>

#include <string>
#include <vector>

using Launch = LaunchDecision::Launch;

// Only what the running copy would take exactly as the program's own parser
// would is forwarded by the launcher; everything else reaches the program.
class LaunchDecisionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decide_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("forward");
        QTest::newRow("nothing") << QStringList{} << true;
        QTest::newRow("capture") << QStringList{"--capture"} << true;
        QTest::newRow("preferences") << QStringList{"--preferences"} << true;
        QTest::newRow("autostart: a first start") << QStringList{"--autostart"} << false;
        QTest::newRow("address") << QStringList{"vocarta://auth/google#state=s"} << false;
        QTest::newRow("help") << QStringList{"--help"} << false;
        QTest::newRow("short help") << QStringList{"-h"} << false;
        QTest::newRow("version") << QStringList{"--version"} << false;
        QTest::newRow("two requests: a usage error") << QStringList{"--capture", "--preferences"} << false;
        QTest::newRow("twice the same") << QStringList{"--capture", "--capture"} << false;
        QTest::newRow("other case") << QStringList{"--Capture"} << false;
        QTest::newRow("prefix") << QStringList{"--capture="} << false;
        QTest::newRow("empty argument") << QStringList{""} << false;
        QTest::newRow("unknown") << QStringList{"--bogus"} << false;
    }
    void decide()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, forward);
        std::vector<std::string> raw;
        for (const QString &argument : arguments)
            raw.push_back(argument.toStdString());
        QCOMPARE(LaunchDecision::decide(raw) == Launch::Forward, forward);
    }
};

QTEST_APPLESS_MAIN(LaunchDecisionTest)
#include "LaunchDecisionTest.moc"
