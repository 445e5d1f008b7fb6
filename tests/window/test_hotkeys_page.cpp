#include "console_capture.h"
#include "hotkey_recorder_button.h"
#include "hotkeys_view.h"
#include "window_fixture.h"

#include <QLabel>
#include <QPushButton>

namespace {

// X11 key codes (evdev + 8) of the keys pressed below.
enum X11Key { xSpace = 65, xK = 45, xG = 42, xEscape = 9 };

const HotkeyConfig ctrlF1{122, 0x40000, QStringLiteral("⌃F1")};

} // namespace

class TestHotkeysPage : public QObject {
    Q_OBJECT
private slots:
    void recordRefuseAndReset_data()
    {
        QTest::addColumn<QList<int>>("keys"); // Qt key, Qt modifiers, X11 key code; none: "Reset to Default"
        QTest::addColumn<QList<uint32_t>>("refused");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<qulonglong>("modifiers");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("registrations");
        QTest::addColumn<QString>("problem");
        const int ctrlAlt = int(Qt::ControlModifier | Qt::AltModifier);
        const int shiftSuper = int(Qt::ShiftModifier | Qt::MetaModifier);
        QTest::newRow("Ctrl+Alt+Space") << QList<int>{Qt::Key_Space, ctrlAlt, xSpace} << QList<uint32_t>{} << 49
                                        << 0xC0000ull << "⌃⌥Space" << "Ctrl+Alt+Space" << 1 << "";
        // Refused as recorded: nothing is stored and the previous hotkey stays.
        QTest::newRow("taken by another program") << QList<int>{Qt::Key_K, ctrlAlt, xK} << QList<uint32_t>{40u}
                                                  << 122 << 0x40000ull << "⌃F1" << "Ctrl+F1" << 0
                                                  << "Taken by another program";
        QTest::newRow("a command's") << QList<int>{Qt::Key_G, shiftSuper, xG} << QList<uint32_t>{} << 122
                                     << 0x40000ull << "⌃F1" << "Ctrl+F1" << 0
                                     << "Used by Fix Grammar & Spelling";
        QTest::newRow("Escape keeps Ctrl+F1") << QList<int>{Qt::Key_Escape, 0, xEscape} << QList<uint32_t>{} << 122
                                              << 0x40000ull << "⌃F1" << "Ctrl+F1" << 0 << "";
        QTest::newRow("reset after a refusal") << QList<int>{} << QList<uint32_t>{122u} << 49 << 0x120000ull
                                               << "⌘⇧Space" << "Super+Shift+Space" << 1 << "";
    }

    void recordRefuseAndReset()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QList<uint32_t>, refused);
        QFETCH(int, keyCode);
        QFETCH(qulonglong, modifiers);
        QFETCH(QString, stored);
        QFETCH(QString, label);
        QFETCH(int, registrations);
        QFETCH(QString, problem);
        WindowFixture f;
        AppSettings settings;
        settings.overlayHotkey = ctrlF1;
        f.state->setSettings(settings);
        f.state->saveSettings();
        // Registered at launch the way the application does, before the page shows.
        f.hotkeys.refuseKeyCodes = refused;
        f.hotkeys.registerOverlayHotkey(ctrlF1.keyCode, uint32_t(ctrlF1.modifiers), [] {});
        int calls = 0;
        HotkeysView page(*f.state, [&](uint16_t code, uint32_t mods) {
            ++calls;
            return f.hotkeys.registerOverlayHotkey(code, mods, [] {});
        });
        page.show();
        QCOMPARE(page.recorder()->labelText(), QStringLiteral("Ctrl+F1"));
        // A palette hotkey refused at launch says so in red.
        QCOMPARE(page.problemLabel()->isVisible(), refused.contains(122u));

        ConsoleCapture console;
        if (keys.isEmpty()) {
            QTest::mouseClick(page.resetButton(), Qt::LeftButton);
        } else {
            QTest::mouseClick(page.recorder(), Qt::LeftButton);
            QCOMPARE(page.recorder()->labelText(), QStringLiteral("Press keys..."));
            QKeyEvent press(QEvent::KeyPress, keys[0], Qt::KeyboardModifiers(keys[1]), quint32(keys[2]), 0, 0, {});
            QCoreApplication::sendEvent(&page, &press);
            QCOMPARE(page.recorder()->isRecording(), !problem.isEmpty());
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, xEscape, 0, 0, {});
            QCoreApplication::sendEvent(&page, &escape);
        }
        QVERIFY(!page.recorder()->isRecording());
        QCOMPARE(page.problemLabel()->isVisible() ? page.problemLabel()->text() : QString(), problem);
        const HotkeyConfig expected{uint16_t(keyCode), modifiers, stored};
        QCOMPARE(f.state->settings().overlayHotkey, expected);
        const auto saved = JsonCodec::decodeSettingsDocument(f.defaults.values.value(AppState::settingsKey));
        QVERIFY(saved && saved->overlayHotkey == expected);
        QCOMPARE(page.recorder()->labelText(), label);
        QCOMPARE(calls, registrations);
        // One palette hotkey: the one stored.
        QCOMPARE(f.hotkeys.overlay, std::make_optional(std::make_pair(uint32_t(keyCode), uint32_t(modifiers))));
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
};

QTEST_MAIN(TestHotkeysPage)
#include "test_hotkeys_page.moc"
