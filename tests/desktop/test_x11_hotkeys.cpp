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
constexpr uint16_t keyJ = 38;

bool xdotoolKey(const QString& keys)
{
    return runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}
} // namespace

class TestX11Hotkeys : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void grabFiresOnRealKeyPresses();
    void grabFiresWithNumLockAndCapsLockOn();
    void combinationHeldByAnotherClientIsRefused();
    void ownCombinationCannotBeTakenTwice();

private:
    void setLock(const QString& key, uint16_t mask, bool on);
};

void TestX11Hotkeys::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
}

void TestX11Hotkeys::cleanup()
{
    // A failed case must not leave a lock on for the next one.
    setLock(QStringLiteral("Num_Lock"), X11KeyMap::mod2Mask, false);
    setLock(QStringLiteral("Caps_Lock"), X11KeyMap::lockMask, false);
}

void TestX11Hotkeys::setLock(const QString& key, uint16_t mask, bool on)
{
    X11TestClient client;
    if (bool(client.modifierState() & mask) != on)
        QVERIFY(xdotoolKey(key));
    QTRY_COMPARE(bool(client.modifierState() & mask), on);
}

void TestX11Hotkeys::grabFiresOnRealKeyPresses()
{
    HotkeyService service(makeHotkeyBackend());
    int palette = 0, command = 0;
    QVERIFY(service.registerOverlayHotkey(space, commandShift, [&] { ++palette; }));
    QVERIFY(service.registerCommandHotkey(keyK, controlOption, [&] { ++command; }));

    QVERIFY(xdotoolKey(QStringLiteral("super+shift+space")));
    QTRY_COMPARE(palette, 1);
    QVERIFY(xdotoolKey(QStringLiteral("ctrl+alt+k")));
    QTRY_COMPARE(command, 1);

    // Other modifiers on the same key are a different combination.
    QVERIFY(xdotoolKey(QStringLiteral("super+space")));
    QVERIFY(xdotoolKey(QStringLiteral("ctrl+alt+shift+k")));
    QTest::qWait(200);
    QCOMPARE(palette, 1);
    QCOMPARE(command, 1);

    // Unregistered combinations stop firing; the palette hotkey stays.
    service.unregisterAllCommandHotkeys();
    QVERIFY(xdotoolKey(QStringLiteral("ctrl+alt+k")));
    QVERIFY(xdotoolKey(QStringLiteral("super+shift+space")));
    QTRY_COMPARE(palette, 2);
    QCOMPARE(command, 1);

    service.unregisterAll();
    QVERIFY(xdotoolKey(QStringLiteral("super+shift+space")));
    QTest::qWait(200);
    QCOMPARE(palette, 2);
}

void TestX11Hotkeys::grabFiresWithNumLockAndCapsLockOn()
{
    HotkeyService service(makeHotkeyBackend());
    int palette = 0;
    QVERIFY(service.registerOverlayHotkey(space, commandShift, [&] { ++palette; }));

    setLock(QStringLiteral("Num_Lock"), X11KeyMap::mod2Mask, true);
    QVERIFY(xdotoolKey(QStringLiteral("super+shift+space")));
    QTRY_COMPARE(palette, 1);

    setLock(QStringLiteral("Caps_Lock"), X11KeyMap::lockMask, true);
    QVERIFY(xdotoolKey(QStringLiteral("super+shift+space")));
    QTRY_COMPARE(palette, 2);

    setLock(QStringLiteral("Num_Lock"), X11KeyMap::mod2Mask, false);
    QVERIFY(xdotoolKey(QStringLiteral("super+shift+space")));
    QTRY_COMPARE(palette, 3);
}

void TestX11Hotkeys::combinationHeldByAnotherClientIsRefused()
{
    const uint8_t k = *X11KeyMap::x11KeyCode(keyK);
    const uint16_t superShift = X11KeyMap::mod4Mask | X11KeyMap::shiftMask;
    X11TestClient other;
    QVERIFY(other.isConnected());
    // The other program holds only the plain combination, so some lock variants of ours
    // would succeed: they must not be left behind.
    QCOMPARE(other.grabKey(k, superShift), 0);

    ConsoleCapture console;
    HotkeyService service(makeHotkeyBackend());
    int palette = 0;
    QVERIFY(!service.registerOverlayHotkey(keyK, commandShift, [&] { ++palette; }));
    QCOMPARE(service.registerCommandHotkey(keyK, commandShift, [] {}), std::nullopt);
    QCOMPARE(console.lines, (QStringList{QStringLiteral("Failed to register overlay hotkey: 10"),
                                         QStringLiteral("Failed to register command hotkey: 10")}));

    X11TestClient third;
    QCOMPARE(third.grabKey(k, superShift | X11KeyMap::mod2Mask), 0);
    QCOMPARE(third.grabKey(k, superShift | X11KeyMap::lockMask), 0);

    // Once the other program lets go, the same combination can be had.
    other.ungrabKey(k, superShift);
    third.ungrabKey(k, superShift | X11KeyMap::mod2Mask);
    third.ungrabKey(k, superShift | X11KeyMap::lockMask);
    QVERIFY(service.registerOverlayHotkey(keyK, commandShift, [&] { ++palette; }));
    QVERIFY(xdotoolKey(QStringLiteral("super+shift+k")));
    QTRY_COMPARE(palette, 1);

    // And while we hold it, another program is refused.
    QCOMPARE(third.grabKey(k, superShift), 10);
}

void TestX11Hotkeys::ownCombinationCannotBeTakenTwice()
{
    ConsoleCapture console;
    HotkeyService service(makeHotkeyBackend());
    int palette = 0, command = 0;
    QVERIFY(service.registerOverlayHotkey(keyJ, controlOption, [&] { ++palette; }));
    QCOMPARE(service.registerCommandHotkey(keyJ, controlOption, [&] { ++command; }), std::nullopt);
    QCOMPARE(console.lines, QStringList{QStringLiteral("Failed to register command hotkey: 10")});

    // The refused duplicate took nothing away from the palette hotkey.
    service.unregisterAllCommandHotkeys();
    QVERIFY(xdotoolKey(QStringLiteral("ctrl+alt+j")));
    QTRY_COMPARE(palette, 1);
    QCOMPARE(command, 0);
}

QTEST_MAIN(TestX11Hotkeys)
#include "test_x11_hotkeys.moc"
