#include "command_edit_sheet.h"
#include "hotkey_display.h"
#include "hotkey_recorder_button.h"
#include "hotkey_service.h"
#include "platform_backends.h"
#include "window_fixture.h"
#include "x11/x11_key_map.h"
#include "x11_test_client.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

namespace {

constexpr uint64_t superShift = 0x120000;
constexpr uint16_t keyG = 5, keyK = 40, keyY = 16, keyT = 17;

bool xdotool(const QStringList& arguments) { return runTool(QStringLiteral("xdotool"), arguments); }

// Asked of the server: another client's grab of a combination fails exactly while we hold it.
bool grabbed(uint16_t keyCode, uint64_t modifiers)
{
    const uint16_t mask = X11KeyMap::x11Modifiers(HotkeyDisplay::carbonModifiers(uint32_t(modifiers)));
    return X11TestClient().grabKey(*X11KeyMap::x11KeyCode(keyCode), mask) == 10;
}

Command withShortcut(Command command, uint16_t keyCode)
{
    command.shortcut = HotkeyDisplay::displayString(keyCode, superShift);
    command.shortcutKeyCode = keyCode;
    command.shortcutModifiers = superShift;
    return command;
}

// The keymap with an XKB option for as long as it lives ("srvrkeys:none": no console keys).
struct KeymapOption {
    const QString option;
    const bool applied = option.isEmpty() || runTool(QStringLiteral("setxkbmap"), {QStringLiteral("-option"), option});
    ~KeymapOption()
    {
        if (!option.isEmpty())
            runTool(QStringLiteral("setxkbmap"), {QStringLiteral("-option"), QString()});
    }
};

// The store and real grabs, registered the way the application does at launch. A command
// hotkey that fires reads the (empty) selection.
struct Tovalin {
    MemoryDefaultsStore defaults;
    FakeSelectionAccess selection;
    HotkeyService hotkeys{makeHotkeyBackend()};
    std::unique_ptr<AppState> state;
    Tovalin()
    {
        state = std::make_unique<AppState>(AppState::Services{&defaults, &hotkeys, &selection, {}});
        hotkeys.registerOverlayHotkey(49, superShift, [] {});
        state->registerCommandHotkeys();
    }
    Command named(const QString& name) const
    {
        for (const Command& c : state->commands())
            if (c.name == name)
                return c;
        return {};
    }
};

// A new command's sheet, active and recording.
struct RecordingSheet {
    CommandEditSheet sheet;
    explicit RecordingSheet(AppState& state) : sheet(state, std::nullopt)
    {
        sheet.show();
        sheet.activateWindow();
    }
    bool start()
    {
        if (!QTest::qWaitForWindowActive(&sheet))
            return false;
        QTest::mouseClick(sheet.recorder(), Qt::LeftButton);
        return sheet.recorder()->isRecording();
    }
};

} // namespace

// Hotkeys recorded and grabbed against a real X server, window manager and key presses.
class TestHotkeysX11 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    void grabsFollowEveryChangeOfTheList()
    {
        Tovalin t;
        const std::pair<const char*, std::function<void()>> steps[] = {
            {"launch", [] {}},
            {"delete", [&] { t.state->deleteCommand(t.named(QStringLiteral("Fix Grammar & Spelling"))); }},
            {"add", [&] { t.state->addCommand(withShortcut(makeCommand(QStringLiteral("Shout")), keyY)); }},
            {"reset", [&] { t.state->resetCommandsToDefaults(); }},
            {"disable", [&] { t.state->setCommandEnabled(t.named(QStringLiteral("Fix Grammar & Spelling")), false); }},
            {"enable", [&] { t.state->setCommandEnabled(t.named(QStringLiteral("Fix Grammar & Spelling")), true); }},
            {"edit", [&] { t.state->updateCommand(withShortcut(t.named(QStringLiteral("Fix Grammar & Spelling")), keyT)); }},
            {"reorder", [&] { t.state->moveCommands({0}, 3); }},
            {"library add", [&] { t.state->addLibraryCommand(commandLibrary().last()); }},
        };
        for (const auto& [what, act] : steps) {
            act();
            // Exactly the enabled commands' combinations, checked on the server for every
            // letter any step uses.
            for (const uint16_t key : {keyG, keyK, keyY, keyT}) {
                bool wanted = false;
                for (const Command& c : t.state->commands())
                    wanted |= c.isEnabled && c.shortcutKeyCode == key;
                QVERIFY2(grabbed(key, superShift) == wanted, qPrintable(QStringLiteral("%1: %2").arg(what).arg(key)));
            }
        }
        QVERIFY(grabbed(keyT, superShift) && !grabbed(keyG, superShift) && !grabbed(keyY, superShift));
    }

    void recordsRealKeysOrSaysWhyNot_data()
    {
        QTest::addColumn<QString>("keys"); // as xdotool names them
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("xkbOption");
        QTest::newRow("Delete") << "super+Delete" << "Super+Delete" << "" << "";
        QTest::newRow("Backspace") << "super+BackSpace" << "Super+Backspace" << "" << "";
        QTest::newRow("Home") << "super+Home" << "Super+Home" << "" << "";
        QTest::newRow("Page Down") << "super+Next" << "Super+Page Down" << "" << "";
        QTest::newRow("Print") << "super+Print" << "Super+Print" << "" << "";
        QTest::newRow("keypad") << "super+KP_Add" << "Super+Keypad +" << "" << "";
        // The server keeps these presses (they switch consoles) unless the keymap has no console keys.
        QTest::newRow("Ctrl+Alt+F1") << "ctrl+alt+F1" << "Ctrl+Alt+F1" << "" << "";
        QTest::newRow("Ctrl+Alt+F12") << "ctrl+alt+F12" << "Ctrl+Alt+F12" << "" << "";
        QTest::newRow("Ctrl+Alt+F1, no console keys") << "ctrl+alt+F1" << "Ctrl+Alt+F1" << "" << "srvrkeys:none";
        QTest::newRow("Ctrl+F1") << "ctrl+F1" << "Ctrl+F1" << "" << "";
        QTest::newRow("a command's") << "super+shift+g" << "" << "Used by Fix Grammar & Spelling" << "";
        QTest::newRow("the palette's") << "super+shift+space" << "" << "Used by the palette" << "";
        QTest::newRow("another program's") << "ctrl+alt+k" << "" << "Taken by another program" << "";
        QTest::newRow("copy") << "ctrl+c" << "" << "Kept for copying, pasting and undoing in every program" << "";
        QTest::newRow("Shift alone") << "shift+a" << "" << "Shift alone still types: add Ctrl, Alt or Super" << "";
    }

    void recordsRealKeysOrSaysWhyNot()
    {
        QFETCH(QString, keys);
        QFETCH(QString, label);
        QFETCH(QString, problem);
        QFETCH(QString, xkbOption);
        const KeymapOption keymap{xkbOption};
        QVERIFY(keymap.applied);
        Tovalin t;
        X11TestClient other;
        QCOMPARE(other.grabKey(*X11KeyMap::x11KeyCode(keyK), X11KeyMap::controlMask | X11KeyMap::mod1Mask), 0);
        RecordingSheet s(*t.state);
        QVERIFY(s.start());
        QVERIFY(xdotool({QStringLiteral("key"), keys}));
        if (!problem.isEmpty()) {
            QTRY_COMPARE(s.sheet.shortcutProblem()->text(), problem);
            QVERIFY(s.sheet.recorder()->isRecording() && s.sheet.shortcut().isEmpty());
            QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
            QTRY_VERIFY(!s.sheet.recorder()->isRecording());
            return;
        }
        QTRY_VERIFY(!s.sheet.recorder()->isRecording());
        QCOMPARE(s.sheet.recorder()->labelText(), label);
        // Saved, it is grabbed: another client can no longer have it.
        s.sheet.findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("Mine"));
        s.sheet.findChild<QPlainTextEdit*>(QStringLiteral("promptEdit"))->setPlainText(QStringLiteral("p"));
        s.sheet.save();
        const Command mine = t.named(QStringLiteral("Mine"));
        QCOMPARE(t.state->hotkeyProblem(mine.id), QString());
        QVERIFY(grabbed(*mine.shortcutKeyCode, *mine.shortcutModifiers));
        // And it fires, once per press.
        QVERIFY(xdotool({QStringLiteral("key"), keys}));
        QTRY_COMPARE(t.selection.reads, 1);
        QTest::qWait(200);
        QCOMPARE(t.selection.reads, 1);
    }

    void recordingEndsWhenAnotherProgramTakesTheFocus()
    {
        Tovalin t;
        RecordingSheet s(*t.state);
        QVERIFY(s.start());
        YadEntry field(QStringLiteral("old"));
        QVERIFY(field.isReady());
        QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("abc")}));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")}));
        QCOMPARE(field.submit(), std::optional<QString>(QStringLiteral("abc")));
        QVERIFY(!s.sheet.recorder()->isRecording());
        QCOMPARE(s.sheet.shortcut(), QString());
    }
};

QTEST_MAIN(TestHotkeysX11)
#include "test_hotkeys_x11.moc"
