#include "command_library.h"
#include "json_codec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace JsonCodec;

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void freshSettingsHaveTheStoredShape()
    {
        const QJsonObject o = QJsonDocument::fromJson(encodeSettingsDocument(AppSettings{})).object();
        const QJsonObject expected{
            {"aiProvider", "tovalin"}, {"selectedModel", "gpt-4o-mini"}, {"openaiApiKey", ""},
            {"claudeApiKey", ""}, {"deepseekApiKey", ""}, {"geminiApiKey", ""},
            {"ollamaHost", "http://127.0.0.1:11434"}, {"theme", "system"}, {"launchAtLogin", false},
            {"showInMenuBar", true}, {"showInDock", true}, {"soundEnabled", true}, {"hapticEnabled", true},
            {"autoCloseOverlay", true}, {"overlayWidth", 600.0}, {"overlayOpacity", 0.95},
            {"overlayHotkey", QJsonObject{{"keyCode", 49}, {"modifiers", 1179648}, {"displayString", "⌘⇧Space"}}}};
        QCOMPARE(o, expected);

        // Optional members are written only when set, an empty one too.
        AppSettings custom;
        custom.aiProvider = AIProvider::custom;
        custom.claudeModel = QStringLiteral("claude-3-haiku");
        custom.typeToAskInPalette = false;
        custom.restoreClipboard = true;
        custom.customBaseURL = QStringLiteral("http://127.0.0.1:8080/v1");
        custom.customApiKey = QStringLiteral("");
        custom.customModel = QStringLiteral("qwen2.5");
        custom.tovalinBaseURL = QStringLiteral("https://relay.example.org");
        const QJsonObject co = encode(custom);
        QCOMPARE(co.size(), 24);
        QCOMPARE(co["aiProvider"], QJsonValue("custom"));
        QCOMPARE(co["customApiKey"], QJsonValue(""));
        QCOMPARE(decodeSettingsDocument(encodeSettingsDocument(custom)), std::optional(custom));
    }

    void commandsAndHistoryRoundTrip()
    {
        Command c;
        c.id = QUuid::fromString(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"));
        c.name = QStringLiteral("Tweet it");
        c.category = CommandCategory::social;
        c.shortcut = QStringLiteral("⌘⇧T");
        c.shortcutKeyCode = 17;
        c.shortcutModifiers = 0x120000;
        c.createdAt = *decodeDate(86400.5);
        c.updatedAt = *decodeDate(-1.25);
        const QJsonObject o = encode(c);
        QCOMPARE(o["id"].toString(), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
        QCOMPARE(o["category"].toString(), QStringLiteral("Social Media"));
        QCOMPARE(o["createdAt"].toDouble(), 86400.5);
        QCOMPARE(decodeCommand(o), std::optional(c));

        c.shortcut.reset();
        c.shortcutKeyCode.reset();
        c.shortcutModifiers.reset();
        QJsonObject bare = encode(c);
        QCOMPARE(bare.size(), 8);
        QVERIFY(!bare.contains("shortcut") && !bare.contains("shortcutKeyCode") && !bare.contains("shortcutModifiers"));
        bare.insert("shortcut", QJsonValue::Null); // null reads as absent
        QCOMPARE(decodeCommand(bare), std::optional(c));

        HistoryItem h;
        h.id = QUuid::createUuid();
        h.commandId = c.id;
        h.commandName = QStringLiteral("Summarize");
        h.timestamp = *decodeDate(0);
        const QJsonObject ho = encode(h);
        QCOMPARE(ho.size(), 7);
        QVERIFY(!ho.contains("errorMessage"));
        QCOMPARE(ho["success"], QJsonValue(true));
        QCOMPARE(decodeHistoryItem(ho), std::optional(h));
        QCOMPARE(decodeDate(0)->toUTC(), QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(decodeDate(86400)->toUTC(), QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
    }

    void builtInLists()
    {
        const QList<Command>& defaults = defaultCommands();
        QStringList names;
        for (const Command& d : defaults) {
            names << d.name;
            QVERIFY(d.isEnabled);
            QCOMPARE(d.hasHotkey(), d.shortcut.has_value()); // a label is always backed by a key
            // The library offers the defaults unchanged, and marks them as added by name.
            auto it = std::find_if(commandLibrary().begin(), commandLibrary().end(),
                                   [&](const Command& l) { return l.name == d.name; });
            QVERIFY2(it != commandLibrary().end() && it->prompt == d.prompt && it->icon == d.icon && it->category == d.category,
                     qPrintable(d.name));
        }
        QCOMPARE(names, QStringList({"Fix Grammar & Spelling", "Make Professional", "Make Friendly",
                                     "Rewrite for Clarity", "Turn into Bullet Points",
                                     "Translate to Vietnamese", "Translate to English"}));
        QCOMPARE(defaults[0].shortcut, std::optional<QString>("⌘⇧G"));
        QCOMPARE(defaults[5].shortcut, std::optional<QString>("⌘⇧K"));
        QVERIFY(defaults[0].shortcutKeyCode == 5 && defaults[5].shortcutKeyCode == 40);
        QVERIFY(defaults[0].shortcutModifiers == 0x120000u && defaults[5].shortcutModifiers == 0x120000u);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
