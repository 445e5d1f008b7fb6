#include "hotkey_display.h"
#include "x11/x11_key_map.h"

#include <QSet>
#include <QtTest>

using namespace HotkeyDisplay;

class TestHotkeyDisplay : public QObject {
    Q_OBJECT
private slots:
    void conversions()
    {
        QCOMPARE(carbonModifiers(0), 0u);
        QCOMPARE(carbonModifiers(0x120000), 0x300u);
        // Caps lock (0x10000) and function (0x800000) bits are not modifiers here.
        QCOMPARE(carbonModifiers(0x1E0000 | 0x10000 | 0x800000), 0x1B00u);
        QCOMPARE(modifierSymbols(0), QString());
        QCOMPARE(modifierSymbols(0x1E0000), QStringLiteral("⌃⌥⇧⌘"));
        const std::pair<uint16_t, const char*> names[] = {
            {49, "Space"}, {10, "Key10"}, {122, "F1"}, {22, "6"}, {42, "\\"}, {50, "`"}, {123, "Key123"}};
        for (const auto& [code, name] : names)
            QCOMPARE(keyName(code), QString::fromUtf8(name));
        QCOMPARE(displayString(40, 0xC0000), QStringLiteral("⌃⌥K"));
    }

    void keyMapRoundTrip()
    {
        // Every named key, and every other key the map knows, reaches a distinct X key code
        // that maps back to it.
        QSet<uint8_t> x11Codes;
        int named = 0;
        for (uint16_t code = 0; code < 128; ++code) {
            const std::optional<uint8_t> x11 = X11KeyMap::x11KeyCode(code);
            if (keyName(code) != QStringLiteral("Key%1").arg(code)) {
                ++named;
                QVERIFY2(x11, qPrintable(keyName(code)));
            }
            if (!x11)
                continue;
            QVERIFY2(*x11 >= 8 && !x11Codes.contains(*x11), qPrintable(QString::number(code)));
            x11Codes.insert(*x11);
            QCOMPARE(X11KeyMap::virtualKeyCode(*x11), std::optional<uint16_t>(code));
        }
        QCOMPARE(named, 68);
        for (int x = 0; x < 256; ++x) {
            if (const std::optional<uint16_t> v = X11KeyMap::virtualKeyCode(uint8_t(x)))
                QCOMPARE(X11KeyMap::x11KeyCode(*v), std::optional<uint8_t>(uint8_t(x)));
        }
        QCOMPARE(X11KeyMap::x11KeyCode(49), std::optional<uint8_t>(65)); // Space on an evdev keyboard
        QCOMPARE(X11KeyMap::x11Modifiers(0x300), uint16_t(X11KeyMap::mod4Mask | X11KeyMap::shiftMask));
        QCOMPARE(X11KeyMap::x11Modifiers(0x1800), uint16_t(X11KeyMap::controlMask | X11KeyMap::mod1Mask));
    }
};

QTEST_GUILESS_MAIN(TestHotkeyDisplay)
#include "test_hotkey_display.moc"
