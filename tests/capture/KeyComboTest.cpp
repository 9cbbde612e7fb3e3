#include "capture/KeyCombo.h"
#include "capture/KeyMapping.h"

#include <QKeyEvent>
#include <QSet>
#include <QtTest>

namespace {
constexpr quint64 Cmd = KeyCombo::CommandFlag;
constexpr quint64 Shift = KeyCombo::ShiftFlag;
constexpr quint64 Opt = KeyCombo::OptionFlag;
constexpr quint64 Ctrl = KeyCombo::ControlFlag;
constexpr quint64 Caps = KeyCombo::CapsLockFlag;
} // namespace

class KeyComboTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayText_data();
    void displayText();
    void reserved_data();
    void reserved();
    void keyNamesCoverTheTableAndNameTheRest();
    void jsonWritesCompactStoredForm();
    void jsonRoundTripsFullRange();
    void jsonRejects_data();
    void jsonRejects();
    void equalityUsesBothMembers();
    void mappingTablesRoundTrip();
    void mappingRefusesUnknownKeys();
    void keyEventBecomesMacPress();
};

void KeyComboTest::displayText_data()
{
    // What the recorder and settings show on Linux.
    QTest::addColumn<quint16>("code");
    QTest::addColumn<quint64>("flags");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, quint16 code, quint64 flags, const char *shown) {
        QTest::newRow(name) << code << flags << QString::fromUtf8(shown);
    };
    row("cmd-shift-k", 40, Cmd | Shift, "Meta+Shift+K");
    row("ctrl-opt-space", 49, Ctrl | Opt, "Ctrl+Alt+Space");
    row("all four, F5 (order fixed)", 96, Cmd | Shift | Opt | Ctrl, "Meta+Ctrl+Alt+Shift+F5");
    row("grave with cmd", 50, Cmd, "Meta+`");
    row("escape alone", 53, 0, "Esc");
    row("caps lock not shown", 0, Caps | Cmd | (1ull << 23), "Meta+A");
    row("return, tab, backspace", 36, Ctrl, "Ctrl+Return");
    row("arrow", 126, Opt, "Alt+Up");
    row("keypad digit", 0x53, Ctrl, "Ctrl+Num+1");
    row("no Linux key", 0x3F, Ctrl, "Ctrl+(63)");
}

void KeyComboTest::displayText()
{
    QFETCH(quint16, code);
    QFETCH(quint64, flags);
    QFETCH(QString, expected);
    QCOMPARE(KeyCombo(code, flags).displayText(), expected);
}

void KeyComboTest::reserved_data()
{
    QTest::addColumn<quint16>("code");
    QTest::addColumn<quint64>("flags");
    QTest::addColumn<bool>("reserved");
    QTest::newRow("cmd-q") << quint16(12) << Cmd << true;
    QTest::newRow("cmd-shift-q") << quint16(12) << (Cmd | Shift) << false;
    QTest::newRow("cmd-q with caps lock") << quint16(12) << (Cmd | Caps) << false;
    QTest::newRow("cmd-q device bits ignored") << quint16(12) << (Cmd | 0x108) << true;
    QTest::newRow("opt-cmd-h") << quint16(4) << (Opt | Cmd) << true;
    QTest::newRow("ctrl-cmd-h") << quint16(4) << (Ctrl | Cmd) << false;
    QTest::newRow("cmd-grave") << quint16(50) << Cmd << true;
    QTest::newRow("cmd-space") << quint16(49) << Cmd << true;
    QTest::newRow("cmd-tab") << quint16(48) << Cmd << true;
    QTest::newRow("cmd-a") << quint16(0) << Cmd << true;
    QTest::newRow("q alone") << quint16(12) << quint64(0) << false;
    QTest::newRow("ctrl-q") << quint16(12) << Ctrl << false;
    QTest::newRow("cmd-k") << quint16(40) << Cmd << false;
}

void KeyComboTest::reserved()
{
    QFETCH(quint16, code);
    QFETCH(quint64, flags);
    QFETCH(bool, reserved);
    QCOMPARE(KeyCombo(code, flags).isReserved(), reserved);
}

void KeyComboTest::keyNamesCoverTheTableAndNameTheRest()
{
    int named = 0;
    for (int code = 0; code <= 0xFFFF; ++code) {
        const QString name = KeyCombo::keyCodeString(quint16(code));
        const bool fallback = name == u'(' + QString::number(code) + u')';
        if (!fallback)
            ++named;
    }
    QCOMPARE(named, 58);
    QCOMPARE(KeyCombo::keyCodeString(22), QStringLiteral("6"));
    QCOMPARE(KeyCombo::keyCodeString(23), QStringLiteral("5"));
    QCOMPARE(KeyCombo::keyCodeString(122), QStringLiteral("F1"));
    QCOMPARE(KeyCombo::keyCodeString(111), QStringLiteral("F12"));
    QCOMPARE(KeyCombo::keyCodeString(51), QStringLiteral("\u232B"));
    QCOMPARE(KeyCombo::keyCodeString(65535), QStringLiteral("(65535)"));
}

void KeyComboTest::jsonWritesCompactStoredForm()
{
    QCOMPARE(KeyCombo(40, Cmd | Shift).toJson(), QByteArray(R"({"keyCode":40,"modifierFlags":1179648})"));
}

void KeyComboTest::jsonRoundTripsFullRange()
{
    const KeyCombo extremes[] = {KeyCombo(0, 0), KeyCombo(65535, 0xFFFF0000ull), KeyCombo(40, 1ull << 62),
                                 KeyCombo(40, 1ull << 63), KeyCombo(40, 18446744073709549568ull)};
    for (const KeyCombo &combo : extremes)
        QCOMPARE(KeyCombo::fromJson(combo.toJson()), std::optional<KeyCombo>(combo));
    // Member order and white space do not matter; unknown members are ignored.
    QCOMPARE(KeyCombo::fromJson(R"( { "modifierFlags" : 1179648 , "keyCode" : 40, "x": [1] } )"),
             std::optional<KeyCombo>(KeyCombo(40, Cmd | Shift)));
    QCOMPARE(KeyCombo::fromJson(R"({"keyCode":40.0,"modifierFlags":1.179648e6})"),
             std::optional<KeyCombo>(KeyCombo(40, Cmd | Shift)));
}

void KeyComboTest::jsonRejects_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("no modifierFlags") << QByteArray(R"({"keyCode":12})");
    QTest::newRow("no keyCode") << QByteArray(R"({"modifierFlags":1048576})");
    QTest::newRow("keyCode too big") << QByteArray(R"({"keyCode":65536,"modifierFlags":0})");
    QTest::newRow("negative keyCode") << QByteArray(R"({"keyCode":-1,"modifierFlags":0})");
    QTest::newRow("negative flags") << QByteArray(R"({"keyCode":1,"modifierFlags":-1048576})");
    QTest::newRow("flags beyond 64 bits") << QByteArray(R"({"keyCode":1,"modifierFlags":1e20})");
    QTest::newRow("flags a double would round")
        << QByteArray(R"({"keyCode":1,"modifierFlags":9223372036854775809})");
    QTest::newRow("fractional") << QByteArray(R"({"keyCode":1.5,"modifierFlags":0})");
    QTest::newRow("string member") << QByteArray(R"({"keyCode":"40","modifierFlags":0})");
    QTest::newRow("null member") << QByteArray(R"({"keyCode":null,"modifierFlags":0})");
    QTest::newRow("array") << QByteArray(R"([40,0])");
    QTest::newRow("not json") << QByteArray("keyCode=40");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("trailing garbage") << QByteArray(R"({"keyCode":40,"modifierFlags":0}x)");
}

void KeyComboTest::jsonRejects()
{
    QFETCH(QByteArray, json);
    QCOMPARE(KeyCombo::fromJson(json), std::nullopt);
}

void KeyComboTest::equalityUsesBothMembers()
{
    QVERIFY(KeyCombo(40, Cmd) == KeyCombo(40, Cmd));
    QVERIFY(KeyCombo(40, Cmd) != KeyCombo(40, Cmd | Caps));
    QVERIFY(KeyCombo(40, Cmd) != KeyCombo(41, Cmd));
}

void KeyComboTest::mappingTablesRoundTrip()
{
    QSet<quint16> macs, evdevs;
    int count = 0;
    for (auto it = KeyMapping::pairsBegin(); it != KeyMapping::pairsEnd(); ++it, ++count) {
        QVERIFY2(!macs.contains(it->mac), qPrintable(QString::number(it->mac)));
        QVERIFY2(!evdevs.contains(it->evdev), qPrintable(QString::number(it->evdev)));
        macs.insert(it->mac);
        evdevs.insert(it->evdev);
        QCOMPARE(KeyMapping::evdevFromMac(it->mac), std::optional<quint16>(it->evdev));
        QCOMPARE(KeyMapping::macFromEvdev(it->evdev), std::optional<quint16>(it->mac));
    }
    // Every key the display table names has a Linux key, so any named
    // combination can be grabbed.
    for (int code = 0; code < 128; ++code) {
        if (!KeyCombo::keyCodeString(quint16(code)).startsWith(u'('))
            QVERIFY2(macs.contains(quint16(code)), qPrintable(QString::number(code)));
    }
    QVERIFY(count > 100);
    // Physical positions, spot-checked against linux/input-event-codes.h.
    QCOMPARE(KeyMapping::evdevFromMac(40), std::optional<quint16>(37));   // K
    QCOMPARE(KeyMapping::evdevFromMac(96), std::optional<quint16>(63));   // F5
    QCOMPARE(KeyMapping::evdevFromMac(53), std::optional<quint16>(1));    // Escape
    QCOMPARE(KeyMapping::evdevFromMac(50), std::optional<quint16>(41));   // grave
    QCOMPARE(KeyMapping::evdevFromMac(0x4C), std::optional<quint16>(96)); // keypad Enter
    QCOMPARE(KeyMapping::keysymNameForEvdev(37), QStringLiteral("k"));
    QCOMPARE(KeyMapping::keysymNameForEvdev(57), QStringLiteral("space"));
}

void KeyComboTest::mappingRefusesUnknownKeys()
{
    QCOMPARE(KeyMapping::evdevFromMac(0x34), std::nullopt); // unused code
    QCOMPARE(KeyMapping::evdevFromMac(65535), std::nullopt);
    QCOMPARE(KeyMapping::macFromEvdev(69), std::nullopt); // Num Lock
    QCOMPARE(KeyMapping::macFromEvdev(0), std::nullopt);
    QCOMPARE(KeyMapping::macFromEvdev(700), std::nullopt);
}

void KeyComboTest::keyEventBecomesMacPress()
{
    // Ctrl+Shift+K with Caps Lock on: X keycode 45 (evdev 37), X state Shift|Lock|Control.
    QKeyEvent event(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, 45, 0x6b,
                    0x1 | 0x2 | 0x4);
    const auto press = KeyMapping::fromKeyEvent(event);
    QVERIFY(press);
    QCOMPARE(press->keyCode, quint16(40));
    QCOMPARE(press->modifierFlags, Ctrl | Shift | Caps);

    QKeyEvent superAlt(QEvent::KeyPress, Qt::Key_F5, Qt::MetaModifier | Qt::AltModifier, 71, 0, 0x40 | 0x8);
    const auto second = KeyMapping::fromKeyEvent(superAlt);
    QVERIFY(second);
    QCOMPARE(second->keyCode, quint16(96));
    QCOMPARE(second->modifierFlags, Cmd | Opt);
    QCOMPARE(KeyMapping::linuxFromMacFlags(second->modifierFlags),
             (KeyMapping::LinuxModifiers{false, true, false, true}));

    // No scan code (synthesised event) or a key without a counterpart: refused.
    QKeyEvent synthetic(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(KeyMapping::fromKeyEvent(synthetic), std::nullopt);
    QKeyEvent numLock(QEvent::KeyPress, Qt::Key_NumLock, Qt::NoModifier, 69 + 8, 0, 0);
    QCOMPARE(KeyMapping::fromKeyEvent(numLock), std::nullopt);
}

QTEST_GUILESS_MAIN(KeyComboTest)
#include "KeyComboTest.moc"
