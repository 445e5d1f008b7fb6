#include "app_state.h"
#include "command_library.h"
#include "console_capture.h"
#include "fake_services.h"
#include "file_defaults_store.h"
#include "json_codec.h"
#include "memory_defaults_store.h"
#include "temp_state_dir.h"
#include "test_commands.h"

#include <QCoro/QCoroTask>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kCommands = AppState::commandsKey, kSettings = AppState::settingsKey, kHistory = AppState::historyKey;

QList<Command> stored(MemoryDefaultsStore& d)
{
    return JsonCodec::decodeCommandsDocument(d.values.value(kCommands)).value_or(QList<Command>{});
}
} // namespace

class TestAppState : public QObject {
    Q_OBJECT
private slots:
    void loadsAndSeeds()
    {
        MemoryDefaultsStore first; // first launch: only the command list is written
        AppState s({&first, nullptr, nullptr, {}});
        QCOMPARE(s.commands(), defaultCommands());
        QCOMPARE(first.writes, 1);
        QCOMPARE(stored(first), defaultCommands());
        QVERIFY(!first.values.contains(kSettings) && !first.values.contains(kHistory));

        MemoryDefaultsStore empty; // "[]" is a real, empty list: not reseeded
        empty.values.insert(kCommands, "[]");
        QVERIFY(AppState({&empty, nullptr, nullptr, {}}).commands().isEmpty());
        QCOMPARE(empty.writes, 0);
    }

    // Each change to the list is saved and registers the hotkeys again; a change to a command
    // that is not in the list does neither. (The pages' tests drive the rest through the UI.)
    void commandOperations()
    {
        MemoryDefaultsStore d;
        RecordingHotkeyRegistry hotkeys;
        AppState s({&d, &hotkeys, nullptr, {}});
        Command extra = makeCommand("Extra");
        s.addCommand(extra);
        extra.name = "Renamed";
        s.updateCommand(extra);
        QCOMPARE(stored(d), s.commands());
        QCOMPARE(stored(d).last().name, QStringLiteral("Renamed"));
        const int writes = d.writes, passes = hotkeys.unregisterAllCommandCalls;
        QCOMPARE(passes, 2);
        s.updateCommand(makeCommand("Ghost"));
        QCOMPARE(d.writes, writes);
        QCOMPARE(hotkeys.unregisterAllCommandCalls, passes);
        s.deleteCommand(extra);
        QCOMPARE(d.writes, writes + 1);
        QCOMPARE(hotkeys.unregisterAllCommandCalls, passes + 1);
        QCOMPARE(stored(d), defaultCommands());

        // Library copies: exact, case-sensitive name match against the user's list.
        auto library = [](const QString& name) {
            return *std::find_if(commandLibrary().begin(), commandLibrary().end(), [&](const Command& c) { return c.name == name; });
        };
        s.addLibraryCommand(library("Summarize"));
        const Command added = s.commands().last();
        QVERIFY(added.name == "Summarize" && added.id != library("Summarize").id && added.isEnabled && !added.shortcut);
        s.addLibraryCommand(library("Summarize"));
        s.addLibraryCommand(library("Fix Grammar & Spelling"));
        QCOMPARE(s.commands().size(), 8);
        Command lower = library("Summarize");
        lower.name = "summarize";
        s.addLibraryCommand(lower);
        QCOMPARE(s.commands().size(), 9);
        Command first = s.commands().first(); // renaming a default frees its name
        first.name = "My grammar";
        s.updateCommand(first);
        s.addLibraryCommand(library("Fix Grammar & Spelling"));
        QCOMPARE(s.commands().last().prompt, first.prompt);
    }

    void moveCommands()
    {
        const struct { QSet<int> from; int to; QString result; } cases[] = {
            {{0}, 3, "B,C,A,D,E"}, {{4}, 0, "E,A,B,C,D"}, {{1, 3}, 5, "A,C,E,B,D"}, {{0, 4}, 2, "B,A,E,C,D"},
            {{2}, 3, "A,B,C,D,E"}, // onto itself
        };
        for (const auto& c : cases) {
            MemoryDefaultsStore d;
            QList<Command> list;
            for (const char* n : {"A", "B", "C", "D", "E"})
                list << makeCommand(n);
            d.values.insert(kCommands, JsonCodec::encodeCommandsDocument(list));
            AppState s({&d, nullptr, nullptr, {}});
            s.moveCommands(c.from, c.to);
            QCOMPARE(names(s.commands()).join(','), c.result);
            QCOMPARE(stored(d), s.commands());
        }
    }

    // Only enabled commands with a key and modifiers that fit get a hotkey. (What a press runs
    // is driven by the delegate's test and end to end.)
    void commandHotkeyPass()
    {
        MemoryDefaultsStore d;
        d.values.insert(kCommands, "[]");
        RecordingHotkeyRegistry hotkeys;
        AppState s({&d, &hotkeys, nullptr, {}});
        const auto keyed = [](const char* name, bool enabled, std::optional<uint16_t> key, std::optional<uint64_t> mods) {
            Command c = makeCommand(name, enabled);
            std::tie(c.shortcutKeyCode, c.shortcutModifiers) = std::tuple(key, mods);
            return c;
        };
        Command labelOnly = makeCommand("label only");
        labelOnly.shortcut = "⌘⇧G";
        for (const Command& c : {keyed("one", true, 5, 0x120000), keyed("disabled", false, 6, 0x120000), labelOnly,
                                 keyed("no modifiers", true, 7, {}), keyed("too wide", true, 8, 1ULL << 32), keyed("two", true, 9, 0x1E0000)})
            s.addCommand(c);
        QCOMPARE(hotkeys.commandHotkeys.size(), 2);
        QCOMPARE(hotkeys.commandHotkeys[0].keyCode, uint16_t(5));
        QCOMPARE(hotkeys.commandHotkeys[1].keyCode, uint16_t(9));
        QCOMPARE(hotkeys.commandHotkeys[1].modifiers, 0x1E0000u);
    }

    void overlayFlags()
    {
        MemoryDefaultsStore d;
        FakeSelectionAccess access;
        AppState s({&d, nullptr, &access, {}});
        for (const std::optional<QString>& selection : {std::optional<QString>("first"), std::optional<QString>(), std::optional<QString>("")}) {
            access.selection = selection; // nothing selected keeps the previous text
            QCoro::waitFor(s.openOverlay());
            QCOMPARE(s.selectedText(), QStringLiteral("first"));
            QVERIFY(s.isOverlayVisible());
        }
        s.setProcessing(true);
        s.closeOverlay();
        QVERIFY(!s.isOverlayVisible() && s.selectedText().isEmpty() && !s.isProcessing());
    }

    // Why each document is unreadable is checked with the documents; here, what the user is told.
    void unreadableSettingsAreReportedAndKept()
    {
        QTemporaryDir dir;
        FileDefaultsStore files(dir.path(), dir.path());
        const QString path = files.location(kSettings);
        QVERIFY(writeFile(path, "[]"));
        ConsoleCapture console;
        AppState s({&files, nullptr, nullptr, {}});
        QVERIFY(s.unreadableSettings());
        QCOMPARE(s.unreadableSettings()->location, path);
        QCOMPARE(s.unreadableSettings()->keptAs, path + ".unreadable");
        QCOMPARE(console.lines, QStringList{QString("Could not read settings from %1: the document is not a JSON object; "
                                                    "using defaults, the file will be kept as %1.unreadable").arg(path)});

        s.saveSettings(); // the unreadable copy is where the notice said
        QCOMPARE(readFile(path + ".unreadable"), QByteArray("[]"));
        QVERIFY(!AppState({&files, nullptr, nullptr, {}}).unreadableSettings());
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "test_app_state.moc"
