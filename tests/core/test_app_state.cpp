#include "app_state.h"
#include "command_library.h"
#include "console_capture.h"
#include "fake_services.h"
#include "json_codec.h"
#include "memory_defaults_store.h"

#include <QCoro/QCoroTask>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString kCommands = QString::fromLatin1(AppState::commandsKey);
const QString kSettings = QString::fromLatin1(AppState::settingsKey);
const QString kHistory = QString::fromLatin1(AppState::historyKey);

Command makeCommand(const QString& name, bool enabled = true, std::optional<uint16_t> key = std::nullopt,
                    std::optional<uint64_t> mods = std::nullopt)
{
    Command c;
    c.id = QUuid::createUuid();
    c.name = name;
    c.prompt = name + QStringLiteral(" prompt");
    c.icon = QStringLiteral("star");
    c.isEnabled = enabled;
    c.shortcutKeyCode = key;
    c.shortcutModifiers = mods;
    c.createdAt = c.updatedAt = QDateTime::currentDateTimeUtc();
    return c;
}

HistoryItem makeHistoryItem(int n)
{
    HistoryItem h;
    h.id = QUuid::createUuid();
    h.commandId = QUuid::createUuid();
    h.commandName = QStringLiteral("run %1").arg(n);
    h.timestamp = QDateTime::currentDateTimeUtc();
    return h;
}

QStringList names(const QList<Command>& list)
{
    QStringList out;
    for (const Command& c : list)
        out << c.name;
    return out;
}

QList<Command> storedCommands(MemoryDefaultsStore& d)
{
    return JsonCodec::decodeCommandsDocument(d.values.value(kCommands)).value_or(QList<Command>{});
}
} // namespace

class TestAppState : public QObject {
    Q_OBJECT
private slots:
    void loadsAndSeeds()
    {
        {   // First launch: defaults in memory, only the command list written.
            MemoryDefaultsStore d;
            AppState s({&d, nullptr, nullptr, {}});
            QCOMPARE(s.commands(), defaultCommands());
            QCOMPARE(d.writes, 1);
            QCOMPARE(storedCommands(d), defaultCommands());
            QVERIFY(!d.values.contains(kSettings));
            QVERIFY(!d.values.contains(kHistory));
            QCOMPARE(s.settings(), AppSettings{});
            QCOMPARE(s.currentTab(), MainTab::home);
            QVERIFY(!s.isOverlayVisible() && !s.isProcessing() && s.selectedText().isEmpty());
        }
        {   // "[]" is a real, empty list: not reseeded.
            MemoryDefaultsStore d;
            d.values.insert(kCommands, "[]");
            AppState s({&d, nullptr, nullptr, {}});
            QVERIFY(s.commands().isEmpty());
            QCOMPARE(d.writes, 0);
        }
        {   // Settings missing one member load as all defaults, not as a merge.
            MemoryDefaultsStore d;
            AppSettings custom;
            custom.aiProvider = AIProvider::gemini;
            QJsonObject o = JsonCodec::encode(custom);
            o.remove(QStringLiteral("hapticEnabled"));
            d.values.insert(kSettings, QJsonDocument(o).toJson());
            d.values.insert(kCommands, "[]");
            AppState s({&d, nullptr, nullptr, {}});
            QCOMPARE(s.settings(), AppSettings{});
            QVERIFY(d.unreadable.contains(kSettings));
            QCOMPARE(d.writes, 0);
            // The next save replaces it.
            s.saveSettings();
            QCOMPARE(JsonCodec::decodeSettingsDocument(d.values.value(kSettings)), std::optional(AppSettings{}));
        }
        {   // An unreadable command list is not overwritten at load.
            MemoryDefaultsStore d;
            d.values.insert(kCommands, "[{\"broken\":true}]");
            AppState s({&d, nullptr, nullptr, {}});
            QCOMPARE(s.commands(), defaultCommands());
            QCOMPARE(d.values.value(kCommands), QByteArray("[{\"broken\":true}]"));
        }
    }

    void commandOperations()
    {
        MemoryDefaultsStore d;
        RecordingHotkeyRegistry hotkeys;
        AppState s({&d, &hotkeys, nullptr, {}});
        QSignalSpy changed(&s, &AppState::commandsChanged);

        const Command extra = makeCommand(QStringLiteral("Extra"));
        s.addCommand(extra);
        QCOMPARE(s.commands().size(), 8);
        QCOMPARE(s.commands().last(), extra);
        QCOMPARE(storedCommands(d), s.commands());
        QCOMPARE(hotkeys.unregisterAllCommandCalls, 1);

        Command renamed = extra;
        renamed.name = QStringLiteral("Renamed");
        s.updateCommand(renamed);
        QCOMPARE(s.commands().last().name, QStringLiteral("Renamed"));
        QCOMPARE(hotkeys.unregisterAllCommandCalls, 2);

        // Unknown id: no change, no save, no registration.
        const int writes = d.writes;
        s.updateCommand(makeCommand(QStringLiteral("Ghost")));
        QCOMPARE(d.writes, writes);
        QCOMPARE(hotkeys.unregisterAllCommandCalls, 2);

        s.setCommandEnabled(renamed, false);
        QCOMPARE(s.commands().last().isEnabled, false);
        QCOMPARE(s.commands().last().updatedAt, renamed.updatedAt);

        // Delete saves and re-registers even when nothing matched.
        s.deleteCommand(makeCommand(QStringLiteral("Ghost")));
        QCOMPARE(d.writes, writes + 2);
        QCOMPARE(hotkeys.unregisterAllCommandCalls, 4);
        s.deleteCommand(renamed);
        QCOMPARE(s.commands(), defaultCommands());
        QVERIFY(changed.count() >= 5);

        // Library: exact, case-sensitive name match.
        const Command summarize = *std::find_if(commandLibrary().begin(), commandLibrary().end(),
                                                [](const Command& c) { return c.name == "Summarize"; });
        s.addLibraryCommand(summarize);
        QCOMPARE(s.commands().size(), 8);
        const Command added = s.commands().last();
        QCOMPARE(added.name, summarize.name);
        QCOMPARE(added.prompt, summarize.prompt);
        QVERIFY(added.id != summarize.id);
        QVERIFY(!added.shortcut && added.isEnabled);
        s.addLibraryCommand(summarize);
        QCOMPARE(s.commands().size(), 8);
        s.addLibraryCommand(commandLibrary().first()); // "Fix Grammar & Spelling" is a default
        QCOMPARE(s.commands().size(), 8);
        Command lower = summarize;
        lower.name = QStringLiteral("summarize");
        s.addLibraryCommand(lower);
        QCOMPARE(s.commands().size(), 9);
        // A user command renamed to a library name blocks that entry; renaming a
        // default frees its name again.
        Command first = s.commands().first();
        first.name = QStringLiteral("My grammar");
        s.updateCommand(first);
        s.addLibraryCommand(commandLibrary().first());
        QCOMPARE(s.commands().size(), 10);
        QCOMPARE(s.commands().last().prompt, first.prompt);

        s.resetCommandsToDefaults();
        QCOMPARE(s.commands(), defaultCommands());
        QCOMPARE(storedCommands(d), defaultCommands());
    }

    void moveCommands()
    {
        MemoryDefaultsStore d;
        d.values.insert(kCommands, "[]");
        AppState s({&d, nullptr, nullptr, {}});
        for (const char* n : {"A", "B", "C", "D", "E"})
            s.addCommand(makeCommand(QString::fromLatin1(n)));
        const QList<Command> start = s.commands();
        auto moved = [&](QSet<int> from, int to) {
            MemoryDefaultsStore md;
            md.values.insert(kCommands, JsonCodec::encodeCommandsDocument(start));
            AppState fresh({&md, nullptr, nullptr, {}});
            fresh.moveCommands(from, to);
            if (storedCommands(md) != fresh.commands())
                return QStringLiteral("not saved");
            return names(fresh.commands()).join(QString());
        };
        QCOMPARE(moved({0}, 3), QStringLiteral("BCADE"));
        QCOMPARE(moved({4}, 0), QStringLiteral("EABCD"));
        QCOMPARE(moved({1, 3}, 5), QStringLiteral("ACEBD"));
        QCOMPARE(moved({0, 4}, 2), QStringLiteral("BAECD"));
        QCOMPARE(moved({2}, 2), QStringLiteral("ABCDE"));
        QCOMPARE(moved({2}, 3), QStringLiteral("ABCDE"));
    }

    void historyCapAndClear()
    {
        MemoryDefaultsStore d;
        AppState s({&d, nullptr, nullptr, {}});
        QList<HistoryItem> added;
        for (int i = 0; i < 101; ++i) {
            added.append(makeHistoryItem(i));
            s.addHistoryItem(added.last());
            QVERIFY(s.history().size() <= 100);
        }
        QCOMPARE(s.history().size(), 100);
        QCOMPARE(s.history().first(), added.last());
        QCOMPARE(s.history().last(), added[1]); // the oldest, run 0, is gone
        QCOMPARE(JsonCodec::decodeHistoryDocument(d.values.value(kHistory))->size(), 100);
        s.clearHistory();
        QVERIFY(s.history().isEmpty());
        QCOMPARE(d.values.value(kHistory), QByteArray("[]"));
    }

    void commandHotkeyPass()
    {
        MemoryDefaultsStore d;
        d.values.insert(kCommands, "[]");
        RecordingHotkeyRegistry hotkeys;
        FakeSelectionAccess access;
        auto script = std::make_shared<FakeAIService::Script>();
        script->answer = QStringLiteral("done");
        AppState s({&d, &hotkeys, &access, [script](const AppSettings&) { return std::make_unique<FakeAIService>(script); }});

        Command labelOnly = makeCommand(QStringLiteral("label only"));
        labelOnly.shortcut = QStringLiteral("⌘⇧G");
        s.addCommand(makeCommand(QStringLiteral("one"), true, 5, 0x120000));
        s.addCommand(makeCommand(QStringLiteral("disabled"), false, 6, 0x120000));
        s.addCommand(labelOnly);
        s.addCommand(makeCommand(QStringLiteral("no modifiers"), true, 7, std::nullopt));
        s.addCommand(makeCommand(QStringLiteral("too wide"), true, 8, 0x100000000ULL));
        s.addCommand(makeCommand(QStringLiteral("two"), true, 9, 0x1E0000));
        QCOMPARE(hotkeys.commandHotkeys.size(), 2);
        QCOMPARE(hotkeys.commandHotkeys[0].keyCode, uint16_t(5));
        QCOMPARE(hotkeys.commandHotkeys[0].id, 1u);
        QCOMPARE(hotkeys.commandHotkeys[1].keyCode, uint16_t(9));
        QCOMPARE(hotkeys.commandHotkeys[1].modifiers, 0x1E0000u);
        QCOMPARE(hotkeys.commandHotkeys[1].id, 2u);

        // The action runs its bound copy on the current selection, silently without one.
        access.selection = QString();
        hotkeys.commandHotkeys[1].action();
        QTRY_COMPARE(access.reads, 1);
        QTest::qWait(20);
        QVERIFY(script->calls.isEmpty());

        access.selection = QStringLiteral("selected words");
        hotkeys.commandHotkeys[1].action();
        QTRY_COMPARE(access.pasted, QStringList{QStringLiteral("done")});
        QCOMPARE(script->calls.size(), 1);
        QCOMPARE(script->calls[0].first, QStringLiteral("two prompt"));
        QCOMPARE(script->calls[0].second, QStringLiteral("selected words"));
        QCOMPARE(s.history().first().commandName, QStringLiteral("two"));
    }

    void overlayFlags()
    {
        MemoryDefaultsStore d;
        FakeSelectionAccess access;
        AppState s({&d, nullptr, &access, {}});
        access.selection = QStringLiteral("first");
        QCoro::waitFor(s.openOverlay());
        QCOMPARE(s.selectedText(), QStringLiteral("first"));
        QVERIFY(s.isOverlayVisible());
        // Nothing selected keeps the previous text.
        access.selection.reset();
        QCoro::waitFor(s.openOverlay());
        QCOMPARE(s.selectedText(), QStringLiteral("first"));
        access.selection = QString();
        QCoro::waitFor(s.openOverlay());
        QCOMPARE(s.selectedText(), QStringLiteral("first"));

        s.setProcessing(true);
        QStringList order;
        connect(&s, &AppState::isOverlayVisibleChanged, this, [&] { order << "visible"; });
        connect(&s, &AppState::selectedTextChanged, this, [&] { order << "text"; });
        connect(&s, &AppState::isProcessingChanged, this, [&] { order << "processing"; });
        s.closeOverlay();
        QCOMPARE(order, QStringList({"visible", "text", "processing"}));
        QVERIFY(!s.isOverlayVisible() && s.selectedText().isEmpty() && !s.isProcessing());
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "test_app_state.moc"
