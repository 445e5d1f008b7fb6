// Takes the README's screenshots of the command sheet from a real display (the sheets are
// windows of their own over the main window, so the screen is grabbed, not a widget).
// scripts/take-screenshots.sh runs it under Xvfb with a window manager, once per theme.
//   window_screenshots --theme light|dark --out DIR
#include "app_state.h"
#include "command_edit_sheet.h"
#include "commands_view.h"
#include "content_view.h"
#include "fake_services.h"
#include "hotkey_recorder_button.h"
#include "memory_defaults_store.h"
#include "theme_applier.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScreen>
#include <QTextStream>
#include <functional>

namespace {

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct Shot {
    const char* name;
    QSize window;
    std::optional<QString> editing; // the command the sheet edits; none: a new one
    QList<uint32_t> takenKeyCodes;  // held by another program (5: G)
    std::function<void(CommandEditSheet&)> then;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"theme", "light or dark.", "theme", "light"}, {"out", "Folder for the PNGs.", "dir", "."}});
    parser.process(app);
    const QString theme = parser.value("theme");
    ThemeApplier().apply(theme == QLatin1String("dark") ? AppTheme::dark : AppTheme::light);
    QTextStream out(stdout);

    const Shot shots[] = {
        {"sheet-new-command", {900, 600}, std::nullopt, {}, {}},
        {"sheet-edit-command-recording", {900, 600}, QStringLiteral("Fix Grammar & Spelling"), {},
         [](CommandEditSheet& sheet) { sheet.recorder()->click(); }},
        // Red: a hotkey another program holds (on the first row, above the sheet) and a
        // combination pressed in the recorder that another command uses.
        {"hotkey-problems", {900, 900}, std::nullopt, {5}, [](CommandEditSheet& sheet) {
             sheet.recorder()->click();
             constexpr quint32 xKeyCodeK = 45;
             QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier, xKeyCodeK, 'k', 0);
             QApplication::sendEvent(sheet.recorder(), &press);
         }},
    };
    for (const Shot& shot : shots) {
        MemoryDefaultsStore defaults;
        RecordingHotkeyRegistry hotkeys;
        hotkeys.refuseKeyCodes = shot.takenKeyCodes;
        AppState state({&defaults, &hotkeys, nullptr, {}});
        state.registerCommandHotkeys();
        state.setCurrentTab(MainTab::commands);
        ContentView window(state);
        window.resize(shot.window);
        window.show();
        window.activateWindow();
        settle(600);
        std::optional<Command> command;
        for (const Command& c : state.commands())
            if (shot.editing && c.name == *shot.editing)
                command = c;
        auto* sheet = new CommandEditSheet(state, command, window.findChild<CommandsView*>());
        sheet->open();
        settle(600);
        if (shot.then)
            shot.then(*sheet);
        settle(400);
        const QRect area = window.geometry();
        const QString file = QDir(parser.value("out")).filePath(QStringLiteral("%1-%2.png").arg(shot.name, theme));
        const bool saved = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file);
        out << (saved ? "saved " : "could not save ") << file << Qt::endl;
        sheet->close();
    }
    return 0;
}
