#include "console_capture.h"
#include "hotkey_service.h"
#include "platform_backends.h"
#include "x11/x11_key_map.h"
#include "x11_test_client.h"

#include <QGuiApplication>
#include <QtTest>

namespace {

constexpr uint32_t commandShift = 0x120000;
constexpr uint32_t controlOption = 0xC0000;
constexpr uint16_t space = 49;
constexpr uint16_t keyK = 40;

bool press(const char* keys)
{
    return runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
}

// Switches a lock key on or off and waits until the server reports it so.
bool setLock(const char* key, uint16_t mask, bool on)
{
    X11TestClient client;
    const auto isOn = [&] { return bool(client.modifierState() & mask) == on; };
    return (isOn() || press(key)) && QTest::qWaitFor(isOn, 5000);
}

} // namespace

class TestX11Hotkeys : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    void cleanup()
    {
        // A failed case must not leave a lock on for the next one.
        setLock("Num_Lock", X11KeyMap::mod2Mask, false);
        setLock("Caps_Lock", X11KeyMap::lockMask, false);
    }

    void grabsFireOnRealKeyPresses()
    {
        ConsoleCapture console;
        HotkeyService service(makeHotkeyBackend());
        int palette = 0, command = 0;
        QVERIFY(service.registerOverlayHotkey(space, commandShift, [&] { ++palette; }));
        QVERIFY(service.registerCommandHotkey(keyK, controlOption, [&] { ++command; }));
        // Our own combination cannot be taken a second time either.
        QCOMPARE(service.registerCommandHotkey(space, commandShift, [] {}), std::nullopt);
        QCOMPARE(console.lines, QStringList{QStringLiteral("Failed to register command hotkey: 10")});

        QVERIFY(press("super+shift+space"));
        QTRY_COMPARE(palette, 1);
        QVERIFY(press("ctrl+alt+k"));
        QTRY_COMPARE(command, 1);
        QVERIFY(setLock("Num_Lock", X11KeyMap::mod2Mask, true));
        QVERIFY(press("super+shift+space"));
        QTRY_COMPARE(palette, 2);
        QVERIFY(setLock("Caps_Lock", X11KeyMap::lockMask, true));
        QVERIFY(press("super+shift+space"));
        QTRY_COMPARE(palette, 3);

        // Other modifiers on the same key are another combination; unregistered ones are gone.
        service.unregisterAllCommandHotkeys();
        QVERIFY(press("super+space"));
        QVERIFY(press("ctrl+alt+k"));
        QTest::qWait(200);
        QCOMPARE(palette, 3);
        QCOMPARE(command, 1);
    }

    void combinationHeldByAnotherClientIsRefused()
    {
        const uint8_t k = *X11KeyMap::x11KeyCode(keyK);
        const uint16_t superShift = X11KeyMap::mod4Mask | X11KeyMap::shiftMask;
        X11TestClient other;
        // It holds only the plain combination, so some lock variants of ours would succeed:
        // they must not be left behind.
        QCOMPARE(other.grabKey(k, superShift), 0);

        ConsoleCapture console;
        HotkeyService service(makeHotkeyBackend());
        QVERIFY(!service.registerOverlayHotkey(keyK, commandShift, [] {}));
        QCOMPARE(service.registerCommandHotkey(keyK, commandShift, [] {}), std::nullopt);
        QCOMPARE(console.lines, (QStringList{QStringLiteral("Failed to register overlay hotkey: 10"),
                                             QStringLiteral("Failed to register command hotkey: 10")}));
        X11TestClient third;
        QCOMPARE(third.grabKey(k, superShift | X11KeyMap::mod2Mask), 0);
        QCOMPARE(third.grabKey(k, superShift | X11KeyMap::lockMask), 0);
    }
};

QTEST_MAIN(TestX11Hotkeys)
#include "test_x11_hotkeys.moc"
