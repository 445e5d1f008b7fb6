// Stored documents are user-editable files: whatever is in them, loading must
// either give exactly what was stored or fall back to defaults, never crash or hang.
#include "app_state.h"
#include "command_library.h"
#include "json_codec.h"
#include "memory_defaults_store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

using namespace JsonCodec;

namespace {
QList<Command> sampleCommands()
{
    QList<Command> list = defaultCommands();
    list[2].shortcut = QStringLiteral("⌃⌥K");
    list[2].shortcutKeyCode = 40;
    list[2].shortcutModifiers = 0xC0000;
    return list;
}

QList<HistoryItem> sampleHistory()
{
    HistoryItem item;
    item.id = QUuid::createUuid();
    item.commandId = QUuid::createUuid();
    item.commandName = QStringLiteral("Fix Grammar & Spelling");
    item.originalText = QStringLiteral("teh text");
    item.resultText = QStringLiteral("the text");
    item.timestamp = *decodeDate(786000000.123);
    HistoryItem failed = item;
    failed.id = QUuid::createUuid();
    failed.success = false;
    failed.errorMessage = QStringLiteral("boom");
    return {item, failed};
}

AppSettings sampleSettings()
{
    AppSettings s;
    s.aiProvider = AIProvider::ollama;
    s.selectedModel = QStringLiteral("llama3");
    s.theme = AppTheme::dark;
    s.openaiModel = QStringLiteral("gpt-4o");
    return s;
}

// Whether a byte string decodes as the document type stored under `key`.
bool decodes(const char* key, const QByteArray& bytes)
{
    if (qstrcmp(key, AppState::settingsKey) == 0)
        return decodeSettingsDocument(bytes).has_value();
    if (qstrcmp(key, AppState::commandsKey) == 0)
        return decodeCommandsDocument(bytes).has_value();
    return decodeHistoryDocument(bytes).has_value();
}

// Decoding what was decoded and encoded again must give the same value.
bool roundTripIsStable(const char* key, const QByteArray& bytes)
{
    if (qstrcmp(key, AppState::settingsKey) == 0) {
        auto v = decodeSettingsDocument(bytes);
        return !v || decodeSettingsDocument(encodeSettingsDocument(*v)) == v;
    }
    if (qstrcmp(key, AppState::commandsKey) == 0) {
        auto v = decodeCommandsDocument(bytes);
        return !v || decodeCommandsDocument(encodeCommandsDocument(*v)) == v;
    }
    auto v = decodeHistoryDocument(bytes);
    return !v || decodeHistoryDocument(encodeHistoryDocument(*v)) == v;
}

QByteArray withMember(const QByteArray& settingsDoc, const QString& key, const QJsonValue& value)
{
    QJsonObject o = QJsonDocument::fromJson(settingsDoc).object();
    if (value.isUndefined())
        o.remove(key);
    else
        o.insert(key, value);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray withCommandMember(const QString& key, const QJsonValue& value, int index = 1)
{
    QJsonArray a = QJsonDocument::fromJson(encodeCommandsDocument(sampleCommands())).array();
    QJsonObject o = a[index].toObject();
    if (value.isUndefined())
        o.remove(key);
    else
        o.insert(key, value);
    a[index] = o;
    return QJsonDocument(a).toJson(QJsonDocument::Compact);
}
} // namespace

class TestStoredDocuments : public QObject {
    Q_OBJECT
private slots:
    void badDocumentsFailWhole_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray settings = encodeSettingsDocument(sampleSettings());
        const QByteArray s(AppState::settingsKey), c(AppState::commandsKey), h(AppState::historyKey);
        const QByteArray history = encodeHistoryDocument(sampleHistory());

        QTest::newRow("empty file") << c << QByteArray();
        QTest::newRow("truncated") << s << settings.left(settings.size() / 2);
        QTest::newRow("object instead of array") << c << QByteArray("{}");
        QTest::newRow("array instead of object") << s << QByteArray("[]");
        QTest::newRow("array of non-objects") << h << QByteArray("[1,2]");
        QTest::newRow("missing hapticEnabled") << s << withMember(settings, "hapticEnabled", QJsonValue::Undefined);
        QTest::newRow("missing overlayHotkey") << s << withMember(settings, "overlayHotkey", QJsonValue::Undefined);
        QTest::newRow("hotkey missing displayString")
            << s << withMember(settings, "overlayHotkey", QJsonObject{{"keyCode", 49}, {"modifiers", 1179648}});
        QTest::newRow("hotkey keyCode negative")
            << s << withMember(settings, "overlayHotkey", QJsonObject{{"keyCode", -1}, {"modifiers", 0}, {"displayString", "x"}});
        QTest::newRow("hotkey keyCode fractional")
            << s << withMember(settings, "overlayHotkey", QJsonObject{{"keyCode", 49.5}, {"modifiers", 0}, {"displayString", "x"}});
        QTest::newRow("hotkey keyCode beyond 16 bits")
            << s << withMember(settings, "overlayHotkey", QJsonObject{{"keyCode", 65536}, {"modifiers", 0}, {"displayString", "x"}});
        QTest::newRow("hotkey modifiers beyond 64 bits")
            << s << withMember(settings, "overlayHotkey", QJsonObject{{"keyCode", 49}, {"modifiers", 1e20}, {"displayString", "x"}});
        QTest::newRow("hotkey keyCode as string")
            << s << withMember(settings, "overlayHotkey", QJsonObject{{"keyCode", "49"}, {"modifiers", 0}, {"displayString", "x"}});
        QTest::newRow("unknown provider") << s << withMember(settings, "aiProvider", "chatgpt");
        QTest::newRow("provider wrong case") << s << withMember(settings, "aiProvider", "OpenAI");
        QTest::newRow("unknown theme") << s << withMember(settings, "theme", "blue");
        QTest::newRow("width as string") << s << withMember(settings, "overlayWidth", "600");
        QTest::newRow("bool as number") << s << withMember(settings, "showInDock", 1);
        QTest::newRow("key null") << s << withMember(settings, "openaiApiKey", QJsonValue::Null);
        QTest::newRow("optional of wrong type") << s << withMember(settings, "claudeModel", 3);
        QTest::newRow("category as case name") << c << withCommandMember("category", "social");
        QTest::newRow("unknown category") << c << withCommandMember("category", "Poetry");
        QTest::newRow("malformed uuid") << c << withCommandMember("id", "not-a-uuid");
        QTest::newRow("uuid with braces") << c << withCommandMember("id", "{0F8FAD5B-D9CB-469F-A165-70867728950E}");
        QTest::newRow("uuid as number") << c << withCommandMember("id", 42);
        QTest::newRow("date as ISO text") << c << withCommandMember("createdAt", "2024-01-01T00:00:00Z");
        QTest::newRow("date absurdly far") << c << withCommandMember("updatedAt", 1e300);
        QTest::newRow("shortcutKeyCode negative") << c << withCommandMember("shortcutKeyCode", -3);
        QTest::newRow("shortcutKeyCode fractional") << c << withCommandMember("shortcutKeyCode", 3.5);
        QTest::newRow("shortcutModifiers 2^64") << c << withCommandMember("shortcutModifiers", 18446744073709551616.0);
        QTest::newRow("missing isEnabled in last command")
            << c << withCommandMember("isEnabled", QJsonValue::Undefined, 6);
        QTest::newRow("deeply nested arrays") << h << QByteArray(200000, '[') + QByteArray(200000, ']');
        QTest::newRow("multi-megabyte string as uuid")
            << c << withCommandMember("id", QString(3 * 1024 * 1024, QLatin1Char('A')));
        QTest::newRow("not JSON at all") << h << QByteArray("\x00\xff\xfe garbage", 12);
        QTest::newRow("history success missing")
            << h << QByteArray(history).replace("\"success\":true", "\"succes\":true");
    }

    void badDocumentsFailWhole()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, bytes);
        QVERIFY(!decodes(key.constData(), bytes));

        // The store falls back to defaults and writes nothing back.
        MemoryDefaultsStore defaults;
        defaults.values.insert(QString::fromLatin1(AppState::commandsKey), encodeCommandsDocument(sampleCommands()));
        defaults.values.insert(QString::fromLatin1(key), bytes);
        AppState state({&defaults, nullptr, nullptr, {}});
        QCOMPARE(defaults.writes, 0);
        QVERIFY(defaults.unreadable.contains(QString::fromLatin1(key)));
        if (key == AppState::settingsKey)
            QCOMPARE(state.settings(), AppSettings{});
        else if (key == AppState::commandsKey)
            QCOMPARE(state.commands(), defaultCommands());
        else
            QVERIFY(state.history().isEmpty());
    }

    void validOddDocumentsLoad()
    {
        // Unknown members are ignored, a large but well-formed text is the user's data.
        QJsonObject o = QJsonDocument::fromJson(encodeSettingsDocument(sampleSettings())).object();
        o.insert(QStringLiteral("someFutureSetting"), QJsonArray{1, 2});
        QCOMPARE(decodeSettingsDocument(QJsonDocument(o).toJson()), std::optional(sampleSettings()));

        QList<Command> big = sampleCommands();
        big[0].prompt = QString(4 * 1024 * 1024, QLatin1Char('p'));
        QCOMPARE(decodeCommandsDocument(encodeCommandsDocument(big)), std::optional(big));

        // Lower-case UUIDs written by hand are still the same id.
        QByteArray doc = encodeCommandsDocument(sampleCommands());
        const QByteArray upper = encodeUuid(sampleCommands()[0].id).toLatin1();
        doc.replace(upper, upper.toLower());
        const auto decoded = decodeCommandsDocument(doc);
        QVERIFY(decoded);
        QCOMPARE((*decoded)[0].id, sampleCommands()[0].id);
    }

    // Thousands of deterministic mutations of valid documents: no crash, no hang,
    // a decoded result always survives its own round trip, and a document whose
    // required member was removed or retyped never decodes.
    void mutationLoop()
    {
        const struct {
            const char* key;
            QByteArray bytes;
        } docs[] = {{AppState::settingsKey, encodeSettingsDocument(sampleSettings())},
                    {AppState::commandsKey, encodeCommandsDocument(sampleCommands())},
                    {AppState::historyKey, encodeHistoryDocument(sampleHistory())}};
        QRandomGenerator rng(20261206);
        int decodedCount = 0, total = 0;
        for (const auto& doc : docs) {
            QVERIFY(decodes(doc.key, doc.bytes));
            for (int i = 0; i < 3000; ++i) {
                QByteArray m = doc.bytes;
                const int edits = 1 + int(rng.bounded(3));
                for (int e = 0; e < edits; ++e) {
                    const int pos = int(rng.bounded(quint32(qMax<qsizetype>(1, m.size()))));
                    switch (rng.bounded(5)) {
                    case 0: if (!m.isEmpty()) m[pos] = char(rng.bounded(256)); break;
                    case 1: m.truncate(pos); break;
                    case 2: m.insert(pos, "{[\"\\:,0-e9"[rng.bounded(10)]); break;
                    case 3: m.remove(pos, 1 + int(rng.bounded(8))); break;
                    case 4: m.insert(pos, m.mid(int(rng.bounded(quint32(qMax<qsizetype>(1, m.size())))), 12)); break;
                    }
                }
                ++total;
                if (decodes(doc.key, m))
                    ++decodedCount;
                QVERIFY2(roundTripIsStable(doc.key, m), m.constData());
            }
        }
        QVERIFY(total == 9000);
        QVERIFY(decodedCount < total); // the mutations do break documents

        // Structural mutations: each required member removed, or given a wrong type.
        const QJsonObject settings = QJsonDocument::fromJson(docs[0].bytes).object();
        for (const QString& member : settings.keys()) {
            const bool optional = member == QLatin1String("openaiModel");
            QCOMPARE(decodeSettingsDocument(withMember(docs[0].bytes, member, QJsonValue::Undefined)).has_value(), optional);
            QVERIFY2(!decodeSettingsDocument(withMember(docs[0].bytes, member, QJsonArray())), qPrintable(member));
        }
        const QJsonObject command = QJsonDocument::fromJson(docs[1].bytes).array()[2].toObject();
        const QStringList optionalMembers{"shortcut", "shortcutKeyCode", "shortcutModifiers"};
        for (const QString& member : command.keys()) {
            const bool decodesWithout = decodeCommandsDocument(withCommandMember(member, QJsonValue::Undefined, 2)).has_value();
            QCOMPARE(decodesWithout, optionalMembers.contains(member));
            QVERIFY2(!decodeCommandsDocument(withCommandMember(member, QJsonObject(), 2)), qPrintable(member));
        }
    }
};

QTEST_GUILESS_MAIN(TestStoredDocuments)
#include "test_stored_documents.moc"
