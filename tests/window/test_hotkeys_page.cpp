#include "console_capture.h"
#include "desktop_shortcuts_panel.h"
#include "fake_notification_server.h" // PrivateSessionBus
#include "fake_portal.h"
#include "hotkey_recorder_button.h"
#include "hotkeys_view.h"
#include "portal/portal_hotkey_backend.h"
#include "portal_shortcuts_panel.h"
#include "wayland/wayland_compositor_lines.h"
#include "wayland_bindings_panel.h"
#include "window_fixture.h"

#include <QClipboard>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// X11 key codes (evdev + 8) of the keys pressed below.
enum X11Key { xSpace = 65, xK = 45, xG = 42, xEscape = 9 };

const HotkeyConfig ctrlF1{122, 0x40000, QStringLiteral("⌃F1")};

// Keys pressed (Qt key, Qt modifiers, X11 key code; none: "Reset to Default") with the key codes
// the window system refuses; the palette hotkey then held, its label, the page's registrations
// and the problem it shows.
struct RecordRow {
    QList<int> keys;
    QList<uint32_t> refused;
    HotkeyConfig expected;
    QString label;
    int registrations;
    QString problem;
};

// Two commands with hotkeys (Super+Shift+G, Super+Shift+K) and one without.
QList<Command> commandsWithHotkeys()
{
    QList<Command> commands{makeCommand(QStringLiteral("Fix Grammar & Spelling")), makeCommand(QStringLiteral("Shout")),
                            makeCommand(QStringLiteral("Quiet"))};
    for (auto [index, keyCode] : {std::pair{0, 5}, std::pair{1, 40}}) {
        commands[index].shortcutKeyCode = uint16_t(keyCode);
        commands[index].shortcutModifiers = 0x120000;
    }
    return commands;
}

QStringList rows(const QWidget& page)
{
    QStringList out;
    for (const QLabel* row : page.findChildren<QLabel*>(QRegularExpression(QStringLiteral("^portalBinding"))))
        out << (row->objectName().endsWith(QLatin1String("Problem")) ? QStringLiteral("red: ") : QString()) + row->text();
    return out;
}

} // namespace

Q_DECLARE_METATYPE(RecordRow)

class TestHotkeysPage : public QObject {
    Q_OBJECT
private slots:
    void recordRefuseAndReset_data()
    {
        QTest::addColumn<RecordRow>("row");
        const int ctrlAlt = int(Qt::ControlModifier | Qt::AltModifier);
        const int shiftSuper = int(Qt::ShiftModifier | Qt::MetaModifier);
        QTest::newRow("Ctrl+Alt+Space") << RecordRow{{Qt::Key_Space, ctrlAlt, xSpace}, {}, {49, 0xC0000, "⌃⌥Space"}, "Ctrl+Alt+Space", 1, ""};
        // Refused as recorded: nothing is stored and the previous hotkey stays.
        QTest::newRow("taken by another program") << RecordRow{{Qt::Key_K, ctrlAlt, xK}, {40u}, ctrlF1, "Ctrl+F1", 0, "Taken by another program"};
        QTest::newRow("a command's") << RecordRow{{Qt::Key_G, shiftSuper, xG}, {}, ctrlF1, "Ctrl+F1", 0, "Used by Fix Grammar & Spelling"};
        QTest::newRow("Escape keeps Ctrl+F1") << RecordRow{{Qt::Key_Escape, 0, xEscape}, {}, ctrlF1, "Ctrl+F1", 0, ""};
        QTest::newRow("reset after a refusal") << RecordRow{{}, {122u}, {49, 0x120000, "⌘⇧Space"}, "Super+Shift+Space", 1, ""};
    }

    void recordRefuseAndReset()
    {
        QFETCH(RecordRow, row);
        WindowFixture f;
        AppSettings settings;
        settings.overlayHotkey = ctrlF1;
        f.state->setSettings(settings);
        f.state->saveSettings();
        // Registered at launch the way the application does, before the page shows.
        f.hotkeys.refuseKeyCodes = row.refused;
        f.hotkeys.registerOverlayHotkey(ctrlF1.keyCode, uint32_t(ctrlF1.modifiers), [] {});
        int calls = 0;
        HotkeysView page(*f.state, [&](uint16_t code, uint32_t mods) {
            ++calls;
            return f.hotkeys.registerOverlayHotkey(code, mods, [] {});
        });
        page.show();
        QCOMPARE(page.recorder()->labelText(), QStringLiteral("Ctrl+F1"));
        // A palette hotkey refused at launch says so in red.
        QCOMPARE(page.problemLabel()->isVisible(), row.refused.contains(122u));

        ConsoleCapture console;
        if (row.keys.isEmpty()) {
            QTest::mouseClick(page.resetButton(), Qt::LeftButton);
        } else {
            QTest::mouseClick(page.recorder(), Qt::LeftButton);
            QCOMPARE(page.recorder()->labelText(), QStringLiteral("Press keys..."));
            QKeyEvent press(QEvent::KeyPress, row.keys[0], Qt::KeyboardModifiers(row.keys[1]), quint32(row.keys[2]), 0, 0, {});
            QCoreApplication::sendEvent(&page, &press);
            QCOMPARE(page.recorder()->isRecording(), !row.problem.isEmpty());
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, xEscape, 0, 0, {});
            QCoreApplication::sendEvent(&page, &escape);
        }
        QVERIFY(!page.recorder()->isRecording());
        QCOMPARE(page.problemLabel()->isVisible() ? page.problemLabel()->text() : QString(), row.problem);
        QCOMPARE(f.state->settings().overlayHotkey, row.expected);
        const auto saved = JsonCodec::decodeSettingsDocument(f.defaults.values.value(AppState::settingsKey));
        QVERIFY(saved && saved->overlayHotkey == row.expected);
        QCOMPARE(page.recorder()->labelText(), row.label);
        QCOMPARE(calls, row.registrations);
        // One palette hotkey: the one stored.
        QCOMPARE(f.hotkeys.overlay, std::make_optional(std::make_pair(uint32_t(row.expected.keyCode), uint32_t(row.expected.modifiers))));
        QCOMPARE(console.count("Failed to register new hotkey"), 0);
        // The combination just replaced, pressed on the focused button, is no click on it.
        QTest::keyClick(page.recorder(), Qt::Key_Space, Qt::ShiftModifier | Qt::MetaModifier);
        QVERIFY(!page.recorder()->isRecording());
    }

    void commandHotkeysThatDoNotWorkAreListed()
    {
        // Refused by the window system at a later registration: the store keeps the reason
        // for the command's row, and the page lists it.
        Command shout = makeCommand(QStringLiteral("Shout"));
        shout.shortcut = QStringLiteral("⇧⌘Y");
        shout.shortcutKeyCode = 16;
        shout.shortcutModifiers = 0x120000;
        WindowFixture f(QList<Command>{shout});
        f.hotkeys.refuseKeyCodes = {16u};
        f.state->registerCommandHotkeys();
        QCOMPARE(f.state->hotkeyProblem(shout.id), QStringLiteral("Taken by another program"));
        HotkeysView page(*f.state, {});
        page.show();
        QCOMPARE(page.problemLabel()->text(), QStringLiteral("Shout (Super+Shift+Y) does not work: Taken by another program"));
        f.hotkeys.refuseKeyCodes.clear();
        f.state->setCommandEnabled(shout, true);
        QVERIFY(!page.problemLabel()->isVisible());
    }

    void compositorLinesAndCopy()
    {
        const std::pair<const char*, QString> compositors[] = {
            {"SWAYSOCK", "bindsym Mod4+Shift+space exec tovalin --palette\n"
                         "bindsym Mod4+Shift+g exec tovalin --run \"Fix Grammar & Spelling\"\n"
                         "bindsym Mod4+Shift+k exec tovalin --run \"Shout\"\n"
                         "for_window [app_id=\"tovalin-palette\"] floating enable"},
            {"HYPRLAND_INSTANCE_SIGNATURE", "bind = SUPER SHIFT, space, exec, tovalin --palette\n"
                                            "bind = SUPER SHIFT, G, exec, tovalin --run \"Fix Grammar & Spelling\"\n"
                                            "bind = SUPER SHIFT, K, exec, tovalin --run \"Shout\"\n"
                                            "windowrulev2 = float, class:^(tovalin-palette)$"}};
        for (const auto& [variable, lines] : compositors) {
            qputenv(variable, "1");
            WindowFixture f(commandsWithHotkeys());
            WaylandBindingsPanel panel(*f.state);
            qunsetenv(variable);
            QCOMPARE(panel.findChild<QPlainTextEdit*>("waylandBindings")->toPlainText(), lines);
            QGuiApplication::clipboard()->clear();
            QTest::mouseClick(panel.findChild<QPushButton*>("copyWaylandBindings"), Qt::LeftButton);
            QCOMPARE(QGuiApplication::clipboard()->text(), lines);
        }
    }

    void desktopSettingsLinesAndCopy()
    {
        // The desktop is told by its shell's name on the bus, not by what the session calls itself.
        PrivateSessionBus bus;
        if (bus.address().isEmpty())
            QSKIP("dbus-daemon could not be started");
        QDBusConnection shell = QDBusConnection::connectToBus(bus.address(), QStringLiteral("shell"));
        const QProcessEnvironment kdeNamed = [] {
            QProcessEnvironment e;
            e.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
            return e;
        }();
        QCOMPARE(DesktopShell::probe(shell, kdeNamed), DesktopShell::Kind::kde);
        QVERIFY(shell.registerService(QStringLiteral("org.gnome.Shell")));
        QCOMPARE(DesktopShell::probe(shell, kdeNamed), DesktopShell::Kind::gnome);

        WindowFixture f(commandsWithHotkeys());
        DesktopShortcutsPanel panel(*f.state, DesktopShell::Kind::gnome);
        QStringList commandLines;
        for (const QLineEdit* field : panel.findChildren<QLineEdit*>("commandLine"))
            commandLines << field->text();
        QCOMPARE(commandLines, (QStringList{"tovalin --palette", "tovalin --run \"Fix Grammar & Spelling\"",
                                            "tovalin --run \"Shout\""}));
        const QList<QPushButton*> copies = panel.findChildren<QPushButton*>("copyCommandLine");
        QCOMPARE(copies.size(), 3);
        QTest::mouseClick(copies.at(1), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), commandLines.at(1));
    }

    void portalBindingsShown()
    {
        const auto bound = [](const char* space, const char* g, const char* k = nullptr) {
            PortalShortcutList list{{"SHIFT+LOGO+space", {{"trigger_description", space}}}, {"SHIFT+LOGO+g", {{"trigger_description", g}}}};
            if (k)
                list << PortalShortcut{"SHIFT+LOGO+k", {{"trigger_description", k}}};
            return list;
        };
        const struct { uint response; PortalShortcutList bound; QStringList rows; } cases[] = {
            {0, bound("Meta+Shift+Space", "Meta+Shift+G", "Meta+Shift+K"), // as asked, in KDE's words
             {"Palette: Meta+Shift+Space", "Fix Grammar & Spelling: Meta+Shift+G", "Shout: Meta+Shift+K"}},
            {0, bound("Shift+Super+Space", "Ctrl+Alt+G"), // one changed, one left out
             {"Palette: Shift+Super+Space", "red: Fix Grammar & Spelling: Ctrl+Alt+G, in place of Super+Shift+G",
              "red: Shout: not bound (Tovalin asked for Super+Shift+K)"}},
            {1, {}, {"red: The desktop did not bind Tovalin's shortcuts"}},
        };
        for (const auto& c : cases) {
            PrivateSessionBus bus;
            if (bus.address().isEmpty())
                QSKIP("dbus-daemon could not be started");
            FakePortal portal(bus.address());
            QVERIFY(portal.isRegistered());
            portal.answer("BindShortcuts", c.response, {{"shortcuts", QVariant::fromValue(c.bound)}});
            WindowFixture f(commandsWithHotkeys());
            PortalHotkeyBackend backend(QDBusConnection::connectToBus(bus.address(), QStringLiteral("page-%1").arg(&c - cases)),
                                        std::chrono::milliseconds(2000));
            backend.installHandler([](uint32_t) {});
            backend.registerHotkey(49, 0x300, 0); // Super+Shift, as the hotkey service passes them
            backend.registerHotkey(5, 0x300, 1);
            backend.registerHotkey(40, 0x300, 2);
            HotkeysView page(*f.state, {});
            QVERIFY(page.findChild<PortalShortcutsPanel*>());
            QVERIFY2(QTest::qWaitFor([&] { return ::rows(page) == c.rows; }, 3000), qPrintable(::rows(page).join('|')));
            if (c.response != 0)
                continue;
            // Changed later in the desktop's settings: the page follows. The first such signal
            // of a process also proves the backend's signal connections hold.
            const QString session = portal.calls().at(1).arguments.value(0).value<QDBusObjectPath>().path();
            portal.emitSignal("org.freedesktop.portal.GlobalShortcuts", "ShortcutsChanged",
                              {QVariant::fromValue(QDBusObjectPath(session)),
                               QVariant::fromValue(PortalShortcutList{{"SHIFT+LOGO+space", {{"trigger_description", "F9"}}}})});
            QVERIFY2(QTest::qWaitFor([&] { return ::rows(page).value(0) == "red: Palette: F9, in place of Super+Shift+Space"; },
                                     3000),
                     qPrintable(::rows(page).join('|')));
        }
    }
};

QTEST_MAIN(TestHotkeysPage)
#include "test_hotkeys_page.moc"
