#include "app_delegate.h"
#include "app_state.h"
#include "console_capture.h"
#include "fake_services.h"
#include "hotkeys_view.h"
#include "json_codec.h"
#include "memory_defaults_store.h"
#include "overlay_panel.h"
#include "temp_state_dir.h"
#include "toggle_switch.h"

#include <QApplication>
#include <QMenu>
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

        QStringList titles;
        for (QAction* a : delegate.statusItem()->contextMenu()->actions())
            if (a->isVisible()) // "Cancel" shows only while a run waits for its answer
                titles << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(titles, QStringList({"Show Tovalin", "-", "Trigger Command", "-", "Quit"}));
        QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 128);
        // A theme chosen in Settings applies at once.
        AppSettings light = state.settings();
        light.theme = AppTheme::light;
        state.setSettings(light);
        QVERIFY(QApplication::palette().color(QPalette::Window).lightness() > 128);

        access.selection = "words"; // the palette hotkey reads the selection, then shows
        hotkeys.overlayAction();
        QTRY_VERIFY(delegate.overlayPanel()->isVisible());
        QVERIFY(state.isOverlayVisible());
        QCOMPARE(state.selectedText(), QStringLiteral("words"));

        QVERIFY(!delegate.mainWindow()); // built only when first asked for
        delegate.showMainWindow();
        QVERIFY(delegate.mainWindow()->isVisible());

        // The Hotkeys page replaces the palette hotkey with one that opens the palette.
        delegate.overlayPanel()->hideOverlay();
        QTRY_VERIFY(!delegate.overlayPanel()->isVisible());
        state.setCurrentTab(MainTab::hotkeys);
        auto* page = delegate.mainWindow()->findChild<HotkeysView*>();
        QVERIFY(page);
        page->record(17, 0x40000);
        QCOMPARE(hotkeys.overlay, std::make_optional(std::make_pair(17u, 0x40000u)));
        hotkeys.overlayAction();
        QTRY_VERIFY(delegate.overlayPanel()->isVisible());

        delegate.applicationWillTerminate();
        QCOMPARE(hotkeys.unregisterAllCalls, 1);
        QVERIFY(!hotkeys.overlay);
    }

    void launchAtLoginAndTrayFollowTheSettings()
    {
        TempStateDir tmp; // the autostart folder is under its XDG_CONFIG_HOME
        MemoryDefaultsStore defaults;
        AppSettings stored;
        stored.launchAtLogin = true; // but the entry was removed while Tovalin was not running
        stored.showInMenuBar = false;
        defaults.values.insert(AppState::settingsKey, JsonCodec::encodeSettingsDocument(stored));
        RecordingHotkeyRegistry hotkeys;
        FakeSelectionAccess access;
        AppState state({&defaults, &hotkeys, &access, {}});
        AppDelegate delegate(state, hotkeys, access);
        delegate.applicationDidFinishLaunching();
        QTRY_VERIFY(delegate.overlayPanel());

        const AutostartEntry& entry = delegate.autostartEntry();
        const QString file = tmp.configHome() + "/autostart/tovalin.desktop";
        QCOMPARE(entry.filePath(), file);
        QVERIFY(!state.settings().launchAtLogin);
        QVERIFY(!JsonCodec::decodeSettingsDocument(defaults.values.value(AppState::settingsKey))->launchAtLogin);
        QVERIFY(!delegate.statusItem()->isVisible());

        auto set = [&state](bool launchAtLogin, bool showInMenuBar) {
            AppSettings settings = state.settings();
            settings.launchAtLogin = launchAtLogin;
            settings.showInMenuBar = showInMenuBar;
            state.setSettings(settings);
            state.saveSettings();
        };
        set(true, true);
        QVERIFY(entry.isInstalled() && delegate.statusItem()->isVisible());
        QVERIFY(readFile(file).contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + " --background\n"));
        set(false, false);
        QVERIFY(!QFileInfo::exists(file) && !delegate.statusItem()->isVisible());

        set(true, true);
        QVERIFY(QFile::remove(file)); // by hand: the window shows the truth
        delegate.showMainWindow();
        QVERIFY(!state.settings().launchAtLogin);

        // The Settings page follows an entry removed or switched off by hand; saving another
        // setting then leaves it as the user left it, and only the switch writes it again.
        state.setCurrentTab(MainTab::settings);
        const auto click = [&delegate](const QString& label) {
            for (ToggleSwitch* toggle : delegate.mainWindow()->findChildren<ToggleSwitch*>())
                if (toggle->accessibleName() == label)
                    QTest::mouseClick(toggle, Qt::LeftButton);
        };
        for (const QByteArray& byHand : {QByteArray(), QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n")}) {
            click("Launch at login");
            QVERIFY(entry.isInstalled());
            QVERIFY(byHand.isEmpty() ? QFile::remove(file) : writeFile(file, byHand));
            QTRY_VERIFY(!state.settings().launchAtLogin);
            click("Sound effects");
            QCOMPARE(readFile(file), byHand);
        }

        QVERIFY(QDir(tmp.configHome() + "/autostart").removeRecursively());
        QVERIFY(writeFile(tmp.configHome() + "/autostart", "not a folder"));
        ConsoleCapture console;
        set(true, true);
        QVERIFY(!state.settings().launchAtLogin);
        QVERIFY(console.containsPrefix("Cannot write the autostart entry " + file));
    }

    void autostartEntryReadsAndWritesTheDesktopForm()
    {
        QTemporaryDir dir;
        const std::pair<QString, QByteArray> execs[] = {{"/usr/bin/tovalin", "/usr/bin/tovalin"},
            {"/home/a b/tovalin", "\"/home/a b/tovalin\""}, {"/x/5%$\"/tovalin", "\"/x/5%%\\\\$\\\\\"/tovalin\""}};
        for (const auto& [executable, exec] : execs) {
            AutostartEntry written(dir.path() + "/autostart", executable);
            QVERIFY(written.setInstalled(true));
            QVERIFY2(readFile(written.filePath()).contains("\nExec=" + exec + " --background\n"), exec.constData());
        }
        AutostartEntry entry(dir.path() + "/autostart", "/usr/bin/tovalin");
        QVERIFY(entry.isInstalled());
        // Desktops switch an entry off by marking it rather than removing it.
        for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled = false"}) {
            QVERIFY(writeFile(entry.filePath(), "[Desktop Entry]\nExec=tovalin\n" + QByteArray(off) + "\n[Desktop Action x]\n"));
            QVERIFY(!entry.isInstalled());
        }
        QVERIFY(writeFile(entry.filePath(), "[Desktop Action x]\nHidden=true\n"));
        QVERIFY(entry.isInstalled());
        QVERIFY(entry.setInstalled(false) && !entry.isInstalled() && entry.setInstalled(false));
    }
};

QTEST_MAIN(TestAppDelegate)
#include "test_app_delegate.moc"
