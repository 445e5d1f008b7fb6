// Stored documents are user-editable files: whatever is in them, loading must
// either give exactly what was stored or fall back to defaults, never crash or hang.
#include "app_state.h"
#include "command_library.h"
#include "json_codec.h"
#include "memory_defaults_store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace JsonCodec;

namespace {
const QByteArray kS(AppState::settingsKey), kC(AppState::commandsKey), kH(AppState::historyKey);

QList<Command> sampleCommands()
{
    QList<Command> list = defaultCommands();
    list[2].shortcutKeyCode = 40;
    list[2].shortcutModifiers = 0xC0000;
    return list;
}

AppSettings sampleSettings()
{
    AppSettings s; // not the defaults: falling back is then told from a merge
    s.aiProvider = AIProvider::gemini;
    s.theme = AppTheme::dark;
    return s;
}

QList<HistoryItem> sampleHistory()
{
    HistoryItem item;
    item.id = QUuid::createUuid();
    item.commandId = QUuid::createUuid();
    item.timestamp = *decodeDate(786000000.123);
    item.errorMessage = QStringLiteral("boom");
    return {item, item};
}

QByteArray document(const QByteArray& key)
{
    if (key == kS)
        return encodeSettingsDocument(sampleSettings());
    return key == kC ? encodeCommandsDocument(sampleCommands()) : encodeHistoryDocument(sampleHistory());
}

bool decodes(const QByteArray& key, const QByteArray& bytes)
{
    if (key == kS)
        return decodeSettingsDocument(bytes).has_value();
    return key == kC ? decodeCommandsDocument(bytes).has_value() : decodeHistoryDocument(bytes).has_value();
}

// The document under `key` with one member of its first object (or of the
// settings' hotkey, for "overlayHotkey.x") set to `value`, or removed when undefined.
QByteArray withMember(const QByteArray& key, const QString& member, const QJsonValue& value, int index = 2)
{
    const QJsonDocument doc = QJsonDocument::fromJson(document(key));
    QJsonObject o = doc.isArray() ? doc.array()[index].toObject() : doc.object();
    QJsonObject* target = &o;
    QJsonObject hotkey = o["overlayHotkey"].toObject();
    QString name = member;
    if (member.startsWith("overlayHotkey.")) {
        target = &hotkey;
        name = member.mid(14);
    }
    if (value.isUndefined())
        target->remove(name);
    else
        target->insert(name, value);
    if (target == &hotkey)
        o.insert("overlayHotkey", hotkey);
    if (!doc.isArray())
        return QJsonDocument(o).toJson();
    QJsonArray a = doc.array();
    a[index] = o;
    return QJsonDocument(a).toJson();
}
} // namespace

class TestStoredDocuments : public QObject {
    Q_OBJECT
private slots:
    // Settings rows name the reason the user is shown; the other documents give none.
    void badDocumentsFailWhole()
    {
        const QJsonValue gone = QJsonValue::Undefined;
        const auto missing = [](const char* member) { return QString("member \"%1\" is missing").arg(member); };
        const auto wrong = [](const char* member) { return QString("member \"%1\" has a wrong type or value").arg(member); };
        const struct { const char* row; QByteArray key; QByteArray bytes; QString reason = {}; } rows[] = {
            {"empty file", kC, ""},
            {"empty settings", kS, "", "the document is empty"},
            {"truncated", kS, document(kS).left(100), "JSON parse error at offset 100: unterminated object"},
            {"settings as a list", kS, "[]", "the document is not a JSON object"},
            {"object for a list", kC, "{}"},
            {"list of numbers", kH, "[1,2]"},
            {"not JSON", kH, QByteArray("\x00\xff\xfe garbage", 12)},
            {"deeply nested", kH, QByteArray(200000, '[') + QByteArray(200000, ']')},
            {"missing hapticEnabled", kS, withMember(kS, "hapticEnabled", gone), missing("hapticEnabled")},
            {"hotkey without displayString", kS, withMember(kS, "overlayHotkey.displayString", gone),
             missing("overlayHotkey.displayString")},
            {"negative key code", kS, withMember(kS, "overlayHotkey.keyCode", -1), wrong("overlayHotkey.keyCode")},
            {"fractional key code", kS, withMember(kS, "overlayHotkey.keyCode", 49.5), wrong("overlayHotkey.keyCode")},
            {"key code beyond 16 bits", kS, withMember(kS, "overlayHotkey.keyCode", 65536), wrong("overlayHotkey.keyCode")},
            {"modifiers beyond 64 bits", kS, withMember(kS, "overlayHotkey.modifiers", 1e20), wrong("overlayHotkey.modifiers")},
            {"unknown provider", kS, withMember(kS, "aiProvider", "OpenAI"), wrong("aiProvider")},
            {"unknown theme", kS, withMember(kS, "theme", "sepia"), wrong("theme")},
            {"null key", kS, withMember(kS, "openaiApiKey", QJsonValue::Null), wrong("openaiApiKey")},
            {"number as string", kS, withMember(kS, "overlayWidth", "600"), wrong("overlayWidth")},
            {"category case name", kC, withMember(kC, "category", "social")},
            {"malformed uuid", kC, withMember(kC, "id", "0F8FAD5B-D9CB-469F-A165-70867728950")},
            {"uuid with braces", kC, withMember(kC, "id", "{0F8FAD5B-D9CB-469F-A165-70867728950E}")},
            {"ISO date", kC, withMember(kC, "createdAt", "2024-01-01T00:00:00Z")},
            {"absurd date", kC, withMember(kC, "updatedAt", 1e300)},
            {"shortcut modifiers 2^64", kC, withMember(kC, "shortcutModifiers", 18446744073709551616.0)},
            {"multi-megabyte uuid", kC, withMember(kC, "id", QString(3 << 20, 'A'))},
            {"history without success", kH, withMember(kH, "success", gone, 1)},
        };
        for (const auto& [row, key, bytes, reason] : rows) {
            QVERIFY2(!decodes(key, bytes), row);
            // The store falls back to defaults, not to a merge, and writes nothing back.
            MemoryDefaultsStore defaults;
            defaults.values.insert(kC, document(kC));
            defaults.values.insert(key, bytes);
            AppState state({&defaults, nullptr, nullptr, {}});
            QVERIFY2(defaults.writes == 0 && defaults.unreadable.contains(key), row);
            QCOMPARE(state.unreadableSettings() ? state.unreadableSettings()->reason : QString(), reason);
            QVERIFY2(key != kS || state.settings() == AppSettings{}, row);
            QVERIFY2(key != kC || state.commands() == defaultCommands(), row);
            QVERIFY2(key != kH || state.history().isEmpty(), row);
        }
    }

    void oddButValidDocumentsLoad()
    {
        QJsonObject o = QJsonDocument::fromJson(document(kS)).object();
        o.insert("someFutureSetting", QJsonArray{1, 2}); // unknown members are ignored
        QVERIFY(decodeSettingsDocument(QJsonDocument(o).toJson()));
        QList<Command> big = sampleCommands();
        big[0].prompt = QString(4 << 20, 'p'); // a long text is the user's data
        QCOMPARE(decodeCommandsDocument(encodeCommandsDocument(big)), std::optional(big));
    }

    // Random mutations of these documents run with the fuzz regressions.
    void requiredMembersAreRequired()
    {
        for (const QByteArray& key : {kS, kC}) {
            const QJsonDocument doc = QJsonDocument::fromJson(document(key));
            const QJsonObject o = doc.isArray() ? doc.array()[2].toObject() : doc.object();
            for (const QString& member : o.keys()) {
                const bool optional = member.startsWith("shortcut");
                QCOMPARE(decodes(key, withMember(key, member, QJsonValue::Undefined)), optional);
                QVERIFY2(!decodes(key, withMember(key, member, QJsonArray())), qPrintable(member));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestStoredDocuments)
#include "test_stored_documents.moc"
