#include "command_library.h"
#include "json_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace JsonCodec;

namespace {
QJsonObject parseObject(const QByteArray& bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

Command sampleCommand()
{
    Command c;
    c.id = QUuid::fromString(QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    c.name = QStringLiteral("Tweet it");
    c.prompt = QStringLiteral("Write a tweet.");
    c.icon = QStringLiteral("bubble.left");
    c.isEnabled = false;
    c.category = CommandCategory::social;
    c.shortcut = QStringLiteral("⌘⇧T");
    c.shortcutKeyCode = 17;
    c.shortcutModifiers = 0x120000;
    c.createdAt = *decodeDate(86400.5);
    c.updatedAt = *decodeDate(-1.25);
    return c;
}
} // namespace

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void freshSettingsHaveTheStoredShape()
    {
        const QJsonObject o = parseObject(encodeSettingsDocument(AppSettings{}));
        QCOMPARE(o.size(), 17);
        QVERIFY(!o.contains(QStringLiteral("claudeModel")));
        QVERIFY(!o.contains(QStringLiteral("openaiModel")));
        QCOMPARE(o[QStringLiteral("aiProvider")].toString(), QStringLiteral("tovalin"));
        QCOMPARE(o[QStringLiteral("selectedModel")].toString(), QStringLiteral("gpt-4o-mini"));
        QCOMPARE(o[QStringLiteral("theme")].toString(), QStringLiteral("system"));
        QCOMPARE(o[QStringLiteral("ollamaHost")].toString(), QStringLiteral("http://127.0.0.1:11434"));
        for (const char* key : {"openaiApiKey", "claudeApiKey", "deepseekApiKey", "geminiApiKey"})
            QCOMPARE(o[QLatin1String(key)].toString(), QString());
        for (const char* key : {"showInMenuBar", "showInDock", "soundEnabled", "hapticEnabled", "autoCloseOverlay"})
            QCOMPARE(o[QLatin1String(key)], QJsonValue(true));
        QCOMPARE(o[QStringLiteral("launchAtLogin")], QJsonValue(false));
        QCOMPARE(o[QStringLiteral("overlayWidth")].toDouble(), 600.0);
        QCOMPARE(o[QStringLiteral("overlayOpacity")].toDouble(), 0.95);
        const QJsonObject hotkey = o[QStringLiteral("overlayHotkey")].toObject();
        QCOMPARE(hotkey.size(), 3);
        QCOMPARE(hotkey[QStringLiteral("keyCode")].toInt(), 49);
        QCOMPARE(hotkey[QStringLiteral("modifiers")].toInteger(), 1179648);
        QCOMPARE(hotkey[QStringLiteral("displayString")].toString(), QStringLiteral("⌘⇧Space"));

        AppSettings withModels;
        withModels.claudeModel = QStringLiteral("claude-3-haiku");
        const auto back = decodeSettingsDocument(encodeSettingsDocument(withModels));
        QVERIFY(back);
        QCOMPARE(*back, withModels);
    }

    void commandsRoundTripAndLeaveAbsentOptionalsOut()
    {
        const Command full = sampleCommand();
        const QJsonObject o = encode(full);
        QCOMPARE(o[QStringLiteral("id")].toString(), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
        QCOMPARE(o[QStringLiteral("category")].toString(), QStringLiteral("Social Media"));
        QCOMPARE(o[QStringLiteral("createdAt")].toDouble(), 86400.5);
        QCOMPARE(o[QStringLiteral("updatedAt")].toDouble(), -1.25);
        QCOMPARE(o[QStringLiteral("shortcutModifiers")].toDouble(), double(0x120000));
        const auto decoded = decodeCommand(o);
        QVERIFY(decoded);
        QCOMPARE(*decoded, full);

        Command bare = full;
        bare.shortcut.reset();
        bare.shortcutKeyCode.reset();
        bare.shortcutModifiers.reset();
        const QJsonObject bareJson = encode(bare);
        QCOMPARE(bareJson.size(), 8);
        for (const char* key : {"shortcut", "shortcutKeyCode", "shortcutModifiers"})
            QVERIFY(!bareJson.contains(QLatin1String(key)));
        const auto bareBack = decodeCommand(bareJson);
        QVERIFY(bareBack && !bareBack->shortcut && !bareBack->shortcutKeyCode && !bareBack->shortcutModifiers);

        // null for an optional reads as absent
        QJsonObject withNulls = bareJson;
        withNulls.insert(QStringLiteral("shortcut"), QJsonValue::Null);
        withNulls.insert(QStringLiteral("shortcutKeyCode"), QJsonValue::Null);
        QCOMPARE(decodeCommand(withNulls), std::optional<Command>(bare));
    }

    void historyItemsAndDates()
    {
        HistoryItem item;
        item.id = QUuid::createUuid();
        item.commandId = QUuid::createUuid();
        item.commandName = QStringLiteral("Summarize");
        item.originalText = QStringLiteral("long text");
        item.resultText = QStringLiteral("short");
        item.timestamp = *decodeDate(0);
        const QJsonObject o = encode(item);
        QCOMPARE(o.size(), 7);
        QVERIFY(!o.contains(QStringLiteral("errorMessage")));
        QCOMPARE(o[QStringLiteral("timestamp")].toDouble(), 0.0);
        QCOMPARE(o[QStringLiteral("success")], QJsonValue(true));
        QVERIFY(o[QStringLiteral("id")].toString().contains(QRegularExpression(QStringLiteral("^[0-9A-F-]{36}$"))));
        QCOMPARE(decodeHistoryItem(o), std::optional<HistoryItem>(item));

        QCOMPARE(decodeDate(0)->toUTC(), QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(decodeDate(86400)->toUTC(), QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
        QVERIFY(!decodeDate(1e300));
        QVERIFY(!decodeUuid(QStringLiteral("{0F8FAD5B-D9CB-469F-A165-70867728950E}")));
        QVERIFY(!decodeUuid(QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950")));
        QVERIFY(!decodeUuid(QStringLiteral("0F8FAD5BXD9CB-469F-A165-70867728950E")));
    }

    void enumerationsHaveTheirRawValuesAndOrder()
    {
        QStringList categories;
        for (auto c : allCommandCategories)
            categories << rawValue(c);
        QCOMPARE(categories, QStringList({"Writing", "Translation", "Coding", "Social Media", "Business",
                                          "Creative", "Education"}));
        QCOMPARE(commandCategoryFromRaw(QStringLiteral("social")), std::nullopt);
        QCOMPARE(aiProviderFromRaw(QStringLiteral("deepseek")), std::optional(AIProvider::deepseek));
        QCOMPARE(aiProviderFromRaw(QStringLiteral("DeepSeek")), std::nullopt);
        QCOMPARE(displayName(AIProvider::tovalin), QStringLiteral("Tovalin (Default)"));
        QCOMPARE(mainTabFromRaw(QStringLiteral("History")), std::optional(MainTab::history));
        QCOMPARE(appThemeFromRaw(QStringLiteral("dark")), std::optional(AppTheme::dark));
    }

    void builtInListsMatchTheirTables()
    {
        const QList<Command>& defaults = defaultCommands();
        QCOMPARE(defaults.size(), 7);
        QStringList names;
        for (const Command& c : defaults) {
            names << c.name;
            QVERIFY(c.isEnabled);
            QVERIFY(!c.shortcutKeyCode && !c.shortcutModifiers);
            QCOMPARE(c.createdAt, c.updatedAt);
        }
        QCOMPARE(names, QStringList({"Fix Grammar & Spelling", "Make Professional", "Make Friendly",
                                     "Rewrite for Clarity", "Turn into Bullet Points",
                                     "Translate to Vietnamese", "Translate to English"}));
        QCOMPARE(defaults[0].shortcut, std::optional<QString>(QStringLiteral("⌘⇧G")));
        QCOMPARE(defaults[5].shortcut, std::optional<QString>(QStringLiteral("⌘⇧K")));
        QCOMPARE(defaults[1].shortcut, std::nullopt);
        // Same ids on every read within a run.
        QCOMPARE(defaultCommands()[3].id, defaults[3].id);

        const QList<Command>& library = commandLibrary();
        QCOMPARE(library.size(), 45);
        QMap<CommandCategory, int> counts;
        QStringList translations;
        for (const Command& c : library) {
            ++counts[c.category];
            QVERIFY(!c.shortcut);
            if (c.category == CommandCategory::translation)
                translations << c.name;
        }
        QCOMPARE(counts[CommandCategory::writing], 9);
        QCOMPARE(counts[CommandCategory::business], 4);
        QCOMPARE(counts[CommandCategory::social], 4);
        QCOMPARE(counts[CommandCategory::coding], 6);
        QCOMPARE(counts[CommandCategory::translation], 14);
        QCOMPARE(counts[CommandCategory::creative], 4);
        QCOMPARE(counts[CommandCategory::education], 4);
        QCOMPARE(translations.first(), QStringLiteral("Translate to English"));
        QCOMPARE(translations.last(), QStringLiteral("Translate to Indonesian"));
        // The defaults reappear in the library with the same prompt, icon and category.
        for (const Command& d : defaults) {
            auto it = std::find_if(library.begin(), library.end(), [&](const Command& l) { return l.name == d.name; });
            QVERIFY2(it != library.end(), qPrintable(d.name));
            QCOMPARE(it->prompt, d.prompt);
            QCOMPARE(it->icon, d.icon);
            QCOMPARE(it->category, d.category);
        }
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
