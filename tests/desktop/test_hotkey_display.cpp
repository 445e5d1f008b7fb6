#include "hotkey_display.h"
#include "x11/x11_key_map.h"

#include <QSet>
#include <QtTest>

using namespace HotkeyDisplay;

class TestHotkeyDisplay : public QObject {
    Q_OBJECT
private slots:
    void carbonMask_data();
    void carbonMask();
    void symbols_data();
    void symbols();
    void keyNames_data();
    void keyNames();
    void namedKeysAreExactlyTheTable();
    void displayStrings_data();
    void displayStrings();
    void keyMapRoundTrip();
    void keyMapAnchors_data();
    void keyMapAnchors();
    void x11ModifierMask();
};

void TestHotkeyDisplay::carbonMask_data()
{
    QTest::addColumn<uint32_t>("flags");
    QTest::addColumn<uint32_t>("mask");
    QTest::newRow("none") << 0u << 0u;
    QTest::newRow("command+shift") << 0x120000u << 0x300u;
    QTest::newRow("all four") << 0x1E0000u << 0x1B00u;
    // Caps lock (0x10000), numeric pad (0x200000) and function (0x800000) bits are not modifiers here.
    QTest::newRow("other bits ignored") << (0x10000u | 0x200000u | 0x800000u | 0x100000u) << 0x100u;
}

void TestHotkeyDisplay::carbonMask()
{
    QFETCH(uint32_t, flags);
    QFETCH(uint32_t, mask);
    QCOMPARE(carbonModifiers(flags), mask);
}

void TestHotkeyDisplay::symbols_data()
{
    QTest::addColumn<uint64_t>("flags");
    QTest::addColumn<QString>("symbols");
    QTest::newRow("none") << uint64_t(0) << QString();
    QTest::newRow("all four in fixed order") << uint64_t(0x1E0000) << QStringLiteral("⌃⌥⇧⌘");
    QTest::newRow("command+shift") << uint64_t(0x120000) << QStringLiteral("⇧⌘");
    QTest::newRow("high bits ignored") << (uint64_t(1) << 40 | 0x20000) << QStringLiteral("⇧");
}

void TestHotkeyDisplay::symbols()
{
    QFETCH(uint64_t, flags);
    QFETCH(QString, symbols);
    QCOMPARE(modifierSymbols(flags), symbols);
}

void TestHotkeyDisplay::keyNames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("space") << 49 << QStringLiteral("Space");
    QTest::newRow("gap in the letters") << 10 << QStringLiteral("Key10");
    QTest::newRow("F1") << 122 << QStringLiteral("F1");
    QTest::newRow("F8") << 100 << QStringLiteral("F8");
    QTest::newRow("6 before 5") << 22 << QStringLiteral("6");
    QTest::newRow("backslash") << 42 << QStringLiteral("\\");
    QTest::newRow("backtick") << 50 << QStringLiteral("`");
    QTest::newRow("unnamed 52") << 52 << QStringLiteral("Key52");
    QTest::newRow("arrow has no name") << 123 << QStringLiteral("Key123");
}

void TestHotkeyDisplay::keyNames()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(keyName(uint16_t(code)), name);
}

void TestHotkeyDisplay::namedKeysAreExactlyTheTable()
{
    // 68 names, all distinct, all below 128; F-keys F1..F16 each once.
    QSet<QString> names;
    int named = 0;
    for (int code = 0; code <= 0xFFFF; ++code) {
        const QString name = keyName(uint16_t(code));
        if (name == QStringLiteral("Key") + QString::number(code))
            continue;
        ++named;
        QVERIFY2(code < 128, qPrintable(QString::number(code)));
        names.insert(name);
    }
    QCOMPARE(named, 68);
    QCOMPARE(names.size(), 68);
    for (int f = 1; f <= 16; ++f)
        QVERIFY2(names.contains(QStringLiteral("F%1").arg(f)), qPrintable(QString::number(f)));
    for (char c = 'A'; c <= 'Z'; ++c)
        QVERIFY(names.contains(QString(QLatin1Char(c))));
    for (char c = '0'; c <= '9'; ++c)
        QVERIFY(names.contains(QString(QLatin1Char(c))));
}

void TestHotkeyDisplay::displayStrings_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<uint64_t>("flags");
    QTest::addColumn<QString>("text");
    // Symbols keep their fixed order whatever order the keys were pressed in.
    QTest::newRow("command+shift+space") << 49 << uint64_t(0x120000) << QStringLiteral("⇧⌘Space");
    QTest::newRow("control+option+K") << 40 << uint64_t(0xC0000) << QStringLiteral("⌃⌥K");
    QTest::newRow("command+F1") << 122 << uint64_t(0x100000) << QStringLiteral("⌘F1");
    QTest::newRow("unnamed key") << 10 << uint64_t(0x1E0000) << QStringLiteral("⌃⌥⇧⌘Key10");
}

void TestHotkeyDisplay::displayStrings()
{
    QFETCH(int, code);
    QFETCH(uint64_t, flags);
    QFETCH(QString, text);
    QCOMPARE(displayString(uint16_t(code), flags), text);
}

void TestHotkeyDisplay::keyMapRoundTrip()
{
    // Every named key, arrows, the navigation block and the keypad map to a distinct X key
    // code in the valid range and back to the same virtual code.
    QList<int> codes;
    for (int code = 0; code < 128; ++code) {
        if (keyName(uint16_t(code)) != QStringLiteral("Key") + QString::number(code))
            codes.append(code);
    }
    codes << 123 << 124 << 125 << 126      // arrows
          << 115 << 119 << 116 << 121      // Home, End, Page Up, Page Down
          << 117                           // forward delete
          << 65 << 67 << 69 << 71 << 75 << 76 << 78 << 81 << 82 << 83 << 84 << 85 << 86 << 87
          << 88 << 89 << 91 << 92;         // keypad
    QSet<int> x11Codes;
    for (const int code : std::as_const(codes)) {
        const std::optional<uint8_t> x11 = X11KeyMap::x11KeyCode(uint16_t(code));
        QVERIFY2(x11, qPrintable(QString::number(code)));
        QVERIFY(*x11 >= 8);
        QVERIFY2(!x11Codes.contains(*x11), qPrintable(QString::number(code)));
        x11Codes.insert(*x11);
        QCOMPARE(X11KeyMap::virtualKeyCode(*x11), std::optional<uint16_t>(uint16_t(code)));
    }
    // Every X key code the map knows comes back to a code that maps to it again.
    for (int x = 0; x < 256; ++x) {
        if (const std::optional<uint16_t> v = X11KeyMap::virtualKeyCode(uint8_t(x)))
            QCOMPARE(X11KeyMap::x11KeyCode(*v), std::optional<uint8_t>(uint8_t(x)));
    }
    QCOMPARE(X11KeyMap::x11KeyCode(52), std::nullopt);
    QCOMPARE(X11KeyMap::x11KeyCode(200), std::nullopt);
    QCOMPARE(X11KeyMap::virtualKeyCode(0), std::nullopt);
}

void TestHotkeyDisplay::keyMapAnchors_data()
{
    // X key codes of a standard evdev keyboard (evdev code + 8).
    QTest::addColumn<int>("virtualCode");
    QTest::addColumn<int>("x11Code");
    QTest::newRow("Space") << 49 << 65;
    QTest::newRow("C") << 8 << 54;
    QTest::newRow("V") << 9 << 55;
    QTest::newRow("K") << 40 << 45;
    QTest::newRow("Return") << 36 << 36;
    QTest::newRow("Delete (backspace)") << 51 << 22;
    QTest::newRow("F1") << 122 << 67;
    QTest::newRow("F13") << 105 << 191;
    QTest::newRow("Left") << 123 << 113;
    QTest::newRow("forward delete") << 117 << 119;
    QTest::newRow("keypad 0") << 82 << 90;
}

void TestHotkeyDisplay::keyMapAnchors()
{
    QFETCH(int, virtualCode);
    QFETCH(int, x11Code);
    QCOMPARE(X11KeyMap::x11KeyCode(uint16_t(virtualCode)), std::optional<uint8_t>(uint8_t(x11Code)));
}

void TestHotkeyDisplay::x11ModifierMask()
{
    QCOMPARE(X11KeyMap::x11Modifiers(carbonModifiers(0x120000)),
             uint16_t(X11KeyMap::mod4Mask | X11KeyMap::shiftMask));
    QCOMPARE(X11KeyMap::x11Modifiers(carbonModifiers(0xC0000)),
             uint16_t(X11KeyMap::controlMask | X11KeyMap::mod1Mask));
    QCOMPARE(X11KeyMap::x11Modifiers(0), uint16_t(0));
    QCOMPARE(X11KeyMap::x11Modifiers(0x1B00), X11KeyMap::hotkeyModifierMask);
}

QTEST_GUILESS_MAIN(TestHotkeyDisplay)
#include "test_hotkey_display.moc"
