#include "app_delegate.h"
#include "app_state.h"
#include "command_library.h"
#include "console_capture.h"
#include "fake_services.h"
#include "json_codec.h"
#include "memory_defaults_store.h"
#include "overlay_panel.h"
#include "single_instance.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QSystemTrayIcon>
#include <QTest>

class TestAppDelegate : public QObject {
    Q_OBJECT
private slots:
    void launchTrayHotkeysThemeAndExit()
    {
        MemoryDefaultsStore defaults;
        AppSettings settings;
        settings.overlayHotkey = {40, 0x180000, "⌥⌘K"}; // taken by another program below
        settings.theme = AppTheme::dark;
        defaults.values.insert(AppState::settingsKey, JsonCodec::encodeSettingsDocument(settings));
        QList<Command> commands = defaultCommands(); // Super+Shift+G, and K taken below
        commands[2].shortcutKeyCode = 6; // disabled: no hotkey
        commands[2].shortcutModifiers = 0x120000;
        commands[2].isEnabled = false;
        defaults.values.insert(AppState::commandsKey, JsonCodec::encodeCommandsDocument(commands));

        RecordingHotkeyRegistry hotkeys;
        hotkeys.refuseKeyCodes = {40};
        FakeSelectionAccess access;
        AppState state({&defaults, &hotkeys, &access, {}});
        AppDelegate delegate(state, hotkeys, access);
        delegate.applicationDidFinishLaunching();
        QTRY_VERIFY(delegate.overlayPanel());

        // The refused combination falls back to Super+Shift+Space; the setting stays.
        QCOMPARE(hotkeys.overlay, std::make_optional(std::make_pair(49u, 0x120000u)));
        QCOMPARE(state.settings().overlayHotkey.keyCode, uint16_t(40));
        QCOMPARE(hotkeys.commandHotkeys.size(), 1);
        QCOMPARE(hotkeys.commandHotkeys[0].keyCode, uint16_t(5));

        QStringList titles;
        for (QAction* a : delegate.statusItem()->contextMenu()->actions())
            titles << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(titles, QStringList({"Show Tovalin", "-", "Trigger Command", "-", "Quit"}));
        QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 128);

        ConsoleCapture console;
        access.selection = QString();
        hotkeys.commandHotkeys[0].action();
        QTRY_COMPARE(console.lines, QStringList{"No text selected for command hotkey"});

        access.selection = "words"; // the palette hotkey reads the selection, then shows
        hotkeys.overlayAction();
        QTRY_VERIFY(delegate.overlayPanel()->isVisible());
        QVERIFY(state.isOverlayVisible());
        QCOMPARE(state.selectedText(), QStringLiteral("words"));

        // A second start asks the running one to bring its main window forward.
        QTemporaryDir runtime;
        SingleInstance first(runtime.path()), second(runtime.path());
        QVERIFY(first.claim());
        connect(&first, &SingleInstance::activationRequested, &delegate, &AppDelegate::showMainWindow);
        QVERIFY(!delegate.mainWindow()); // built only when first asked for
        QVERIFY(!second.claim());
        QTRY_VERIFY(delegate.mainWindow() && delegate.mainWindow()->isVisible());

        delegate.applicationWillTerminate();
        QCOMPARE(hotkeys.unregisterAllCalls, 1);
        QVERIFY(!hotkeys.overlay);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "test_app_delegate.moc"
