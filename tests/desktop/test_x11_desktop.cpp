#include "accessibility_service.h"
#include "console_capture.h"
#include "hotkey_service.h"
#include "platform_backends.h"
#include "x11/x11_key_map.h"
#include "x11_test_client.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QCoro/QCoroTask>
#include <QGuiApplication>
#include <QtTest>
#include <xcb/xcb.h>

using Text = std::optional<QString>;

namespace {

constexpr uint32_t commandShift = 0x120000, controlOption = 0xC0000;
constexpr uint16_t space = 49, keyK = 40;

bool xdotool(const char* action, const char* keys)
{
    return runTool(QStringLiteral("xdotool"), {QString::fromLatin1(action), QString::fromLatin1(keys)});
}

// Switches Num Lock on or off and waits until the server reports it so.
bool setNumLock(bool on)
{
    X11TestClient client;
    const auto isOn = [&] { return bool(client.modifierState() & X11KeyMap::mod2Mask) == on; };
    return (isOn() || xdotool("key", "Num_Lock")) && QTest::qWaitFor(isOn, 5000);
}

// Counts other programs' requests for a selection we own: a paste in progress.
struct SelectionRequestCounter : QAbstractNativeEventFilter {
    int count = 0;
    SelectionRequestCounter() { qGuiApp->installNativeEventFilter(this); }
    ~SelectionRequestCounter() override { qGuiApp->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type == "xcb_generic_event_t"
            && (static_cast<xcb_generic_event_t*>(message)->response_type & 0x7f) == XCB_SELECTION_REQUEST)
            ++count;
        return false;
    }
};

} // namespace

// The X11 backends against a real server, window manager and programs (xdotool, xclip, yad).
class TestX11Desktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    void cleanup()
    {
        // A failed case must leave no lock on and no modifier down for the next one.
        setNumLock(false);
        xdotool("keyup", "super+shift");
        QTRY_COMPARE(X11TestClient().modifierState() & X11KeyMap::hotkeyModifierMask, 0);
    }

    void grabsFireOnRealKeyPresses()
    {
        ConsoleCapture console;
        HotkeyService service(makeHotkeyBackend());
        int palette = 0, command = 0;
        QVERIFY(service.registerOverlayHotkey(space, commandShift, [&] { ++palette; }));
        QVERIFY(service.registerCommandHotkey(keyK, controlOption, [&] { ++command; }));
        QCOMPARE(service.registerCommandHotkey(space, commandShift, [] {}), std::nullopt); // ours already
        QCOMPARE(console.lines, QStringList{QStringLiteral("Failed to register command hotkey: 10")});

        QVERIFY(xdotool("key", "super+shift+space") && xdotool("key", "ctrl+alt+k"));
        QTRY_VERIFY(palette == 1 && command == 1);
        QVERIFY(setNumLock(true) && xdotool("key", "super+shift+space"));
        QTRY_COMPARE(palette, 2);
        // Other modifiers on the same key are another combination; unregistered ones are gone.
        service.unregisterAllCommandHotkeys();
        QVERIFY(xdotool("key", "super+space") && xdotool("key", "ctrl+alt+k"));
        QTest::qWait(200);
        QVERIFY(palette == 2 && command == 1);
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

    void primaryIsTheSelectionOnlyWhileTheActiveFieldOwnsIt()
    {
        XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("before"));
        YadEntry field(QStringLiteral("field words"));
        QVERIFY(clipboard.isReady() && field.isReady());
        AccessibilityService service(makeAccessibilityBackend());
        // Read from PRIMARY, without a copy round: the clipboard is untouched.
        QCOMPARE(QCoro::waitFor(service.getSelectedText()), Text(QStringLiteral("field words")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

        // Something highlighted elsewhere takes PRIMARY; the field loses its highlight, nothing
        // is selected, and the previous clipboard text is back (served by us now).
        XclipOwner stale(XclipOwner::Selection::primary, QStringLiteral("stale words"));
        QVERIFY(stale.isReady());
        const Text text = QCoro::waitFor(service.getSelectedText());
        QVERIFY2(!text || text->isEmpty(), qPrintable(text.value_or(QString())));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        QVERIFY(QGuiApplication::clipboard()->ownsClipboard());
    }

    void copyAndPasteInARealField()
    {
        XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("before"));
        YadEntry field(QStringLiteral("copied words"));
        QVERIFY(clipboard.isReady() && field.isReady());
        AccessibilityService service(makeAccessibilityBackend());
        // The user keeps holding the hotkey's modifiers: Ctrl+C must not go out with them.
        QVERIFY(xdotool("keydown", "super+shift"));
        QCOMPARE(QCoro::waitFor(service.copySelectionViaClipboard()), Text(QStringLiteral("copied words")));
        QCOMPARE(X11TestClient().modifierState() & X11KeyMap::hotkeyModifierMask, 0);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copied words"));

        // The field's text is still selected: the paste replaces it.
        SelectionRequestCounter requests;
        service.pasteText(QStringLiteral("abc"));
        // The field asks us for the clipboard once the synthetic Ctrl+V arrives.
        QTRY_VERIFY(requests.count > 0);
        QTest::qWait(150);
        QCOMPARE(field.submit(), Text(QStringLiteral("abc")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("abc"));
    }
};

QTEST_MAIN(TestX11Desktop)
#include "test_x11_desktop.moc"
