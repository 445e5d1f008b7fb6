#include "console_capture.h"
#include "hotkey_display.h"
#include "hotkey_service.h"
#include "inert_hotkey_backend.h"
#include "x11/x11_key_map.h"

#include <QSet>
#include <QtTest>
#include <tuple>

using namespace HotkeyDisplay;

namespace {

constexpr uint32_t commandShift = 0x120000, controlOption = 0xC0000;

// Refuses the key codes in `refused` with their status; `press` is what the window system
// calls for a registered combination.
struct FakeHotkeyBackend : HotkeyBackend {
    std::map<uint32_t, Status> refused;
    std::map<HotkeyRef, std::tuple<uint32_t, uint32_t, uint32_t>> active; // key code, mask, id
    PressHandler press;
    HotkeyRef nextRef = 1;

    Status installHandler(PressHandler onPressed) override { press = std::move(onPressed); return noErr; }
    Registration registerHotkey(uint32_t keyCode, uint32_t mask, uint32_t id) override
    {
        if (refused.count(keyCode))
            return {refused[keyCode], {}};
        active[nextRef] = {keyCode, mask, id};
        return {noErr, nextRef++};
    }
    void unregisterHotkey(HotkeyRef ref) override { active.erase(ref); }
    void removeHandler() override { press = nullptr; }
};

} // namespace

class TestHotkeys : public QObject {
    Q_OBJECT
    FakeHotkeyBackend* backend = nullptr;
    std::unique_ptr<HotkeyService> service;

private slots:
    void conversions()
    {
        QCOMPARE(carbonModifiers(0x120000), 0x300u);
        // Caps lock (0x10000) and function (0x800000) bits are not modifiers here.
        QCOMPARE(carbonModifiers(0x1E0000 | 0x10000 | 0x800000), 0x1B00u);
        QCOMPARE(modifierSymbols(0x1E0000), QStringLiteral("⌃⌥⇧⌘"));
        const std::pair<uint16_t, const char*> names[] = {
            {49, "Space"}, {10, "Key10"}, {122, "F1"}, {22, "6"}, {42, "\\"}, {50, "`"}, {123, "Key123"}};
        for (const auto& [code, name] : names)
            QCOMPARE(keyName(code), QString::fromUtf8(name));
        // Labels use the Linux names, for a stored string as for a key code: the Apple
        // "Delete" (51) is Backspace, 117 is Delete, 115 Home.
        const std::pair<QString, const char*> labels[] = {
            {linuxLabel(117, 0x100000), "Super+Delete"}, {linuxLabel(QStringLiteral("⌘Delete")), "Super+Backspace"},
            {linuxLabel(QStringLiteral("⌘Key115")), "Super+Home"}, {linuxLabel(128, 0x120000), "Super+Shift+Print"},
            {linuxLabel(QStringLiteral("⌃⌥F1")), "Ctrl+Alt+F1"}, {linuxLabel(QStringLiteral("Fix")), "Fix"},
            {linuxLabel(QStringLiteral("⌃⌥Key117")), "Ctrl+Alt+Delete"}, {linuxLabel(QStringLiteral("⌃⌥Key200")), "Ctrl+Alt+Key200"},
            {linuxLabel(QStringLiteral("⇧⌘⌥⌃F1")), "Ctrl+Alt+Super+Shift+F1"}, {linuxLabel(QStringLiteral("⌘")), "⌘"}};
        for (const auto& [label, expected] : labels)
            QCOMPARE(label, QString::fromUtf8(expected));
    }

    void keyMapRoundTrip()
    {
        // Every named key, and every other key the map knows, reaches a distinct X key code
        // that maps back to it, and has a Linux name.
        QSet<uint8_t> x11Codes;
        int named = 0;
        for (uint16_t code = 0; code < 256; ++code) {
            const bool isNamed = keyName(code) != QStringLiteral("Key%1").arg(code);
            const std::optional<uint8_t> x11 = X11KeyMap::x11KeyCode(code);
            named += isNamed;
            QVERIFY2(x11 || !isNamed, qPrintable(keyName(code)));
            if (!x11)
                continue;
            QVERIFY2(*x11 >= 8 && !x11Codes.contains(*x11), qPrintable(QString::number(code)));
            const bool modifierKey = code >= 54 && code <= 63;
            QVERIFY2(modifierKey || linuxLabel(code, 0) != QStringLiteral("Key%1").arg(code), qPrintable(QString::number(code)));
            x11Codes.insert(*x11);
            QCOMPARE(X11KeyMap::virtualKeyCode(*x11), std::optional<uint16_t>(code));
        }
        QCOMPARE(named, 68);
    }

    void init()
    {
        auto fake = std::make_unique<FakeHotkeyBackend>();
        backend = fake.get();
        service = std::make_unique<HotkeyService>(std::move(fake));
    }

    void paletteHotkeyIsReplacedOrRefusedWhole()
    {
        ConsoleCapture console;
        QStringList ran;
        QVERIFY(service->registerOverlayHotkey(49, commandShift, [&] { ran << QStringLiteral("first"); }));
        QVERIFY(service->registerOverlayHotkey(40, controlOption, [&] {
            ran << QStringLiteral("second");
            // Re-registering from inside the running action must not destroy it mid-run.
            service->registerOverlayHotkey(40, controlOption, [] {});
            ran << QStringLiteral("survived");
        }));
        QCOMPARE(backend->active.size(), size_t(1));
        QCOMPARE(backend->active.begin()->second, std::make_tuple(40u, 0x1800u, 0u));
        backend->press(0);
        QVERIFY(ran.isEmpty()); // never inside the window system's callback
        QTRY_COMPARE(ran, (QStringList{QStringLiteral("second"), QStringLiteral("survived")}));

        backend->refused[38] = 10;
        QVERIFY(!service->registerOverlayHotkey(38, controlOption, [] {}));
        QVERIFY(backend->active.empty());
        QCOMPARE(console.lines, QStringList{QStringLiteral("Failed to register overlay hotkey: 10")});
    }

    void commandIdsAreSpentWhenRefusedAndResetByUnregister()
    {
        ConsoleCapture console;
        QVERIFY(service->registerOverlayHotkey(49, commandShift, [] {}));
        backend->refused[0] = 10;
        QCOMPARE(service->registerCommandHotkey(0, controlOption, [] {}), std::nullopt);
        QCOMPARE(service->registerCommandHotkey(1, controlOption, [] {}), std::optional<uint32_t>(2));
        QCOMPARE(console.lines, QStringList{QStringLiteral("Failed to register command hotkey: 10")});
        service->unregisterAllCommandHotkeys();
        QCOMPARE(backend->active.size(), size_t(1)); // the palette hotkey stays
        QCOMPARE(service->registerCommandHotkey(1, controlOption, [] {}), std::optional<uint32_t>(1));

        // Without a hot-key facility (offscreen, Wayland) the handler cannot be installed.
        HotkeyService inert(std::make_unique<InertHotkeyBackend>());
        QCOMPARE(inert.registerCommandHotkey(1, controlOption, [] {}), std::nullopt);
        QCOMPARE(console.lines.last(), QStringLiteral("Failed to install event handler: -1"));
    }

    void actionIsLookedUpWhenTheQueuedTaskRuns()
    {
        QStringList ran;
        QVERIFY(service->registerCommandHotkey(1, controlOption, [&] { ran << QStringLiteral("old"); }));
        // Pressed just before a refresh: the action registered under the id afterwards runs.
        backend->press(1);
        service->unregisterAllCommandHotkeys();
        QVERIFY(service->registerCommandHotkey(2, controlOption, [&] { ran << QStringLiteral("new"); }));
        QTRY_COMPARE(ran, QStringList{QStringLiteral("new")});
        // Pressed and then unregistered: nothing runs.
        backend->press(1);
        service->unregisterAll();
        QTest::qWait(50);
        QCOMPARE(ran, QStringList{QStringLiteral("new")});
        QVERIFY(backend->active.empty() && !backend->press);
    }
};

QTEST_GUILESS_MAIN(TestHotkeys)
#include "test_hotkeys.moc"
