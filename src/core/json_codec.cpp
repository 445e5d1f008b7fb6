#include "json_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <cmath>

namespace JsonCodec {
namespace {

// 2001-01-01 00:00:00 UTC in milliseconds since the Unix epoch.
constexpr qint64 kReferenceMs = 978307200000LL;
// Dates further than this from the reference are not real timestamps (±10,000 years).
constexpr double kMaxDateSeconds = 10000.0 * 366 * 86400;

// Reads members of one object; the first failure poisons the whole decode.
class Reader {
public:
    explicit Reader(const QJsonObject& o) : m_o(o) {}
    bool ok() const { return m_ok; }
    // The first member that failed, for the console line about an unreadable document.
    const QString& failedMember() const { return m_failedMember; }

    QString string(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (!v.isString())
            return fail<QString>(key);
        return v.toString();
    }
    std::optional<QString> optionalString(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return std::nullopt;
        if (!v.isString())
            return fail<std::optional<QString>>(key);
        return v.toString();
    }
    std::optional<bool> optionalBoolean(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return std::nullopt;
        if (!v.isBool())
            return fail<std::optional<bool>>(key);
        return v.toBool();
    }
    bool boolean(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (!v.isBool())
            return fail<bool>(key);
        return v.toBool();
    }
    double number(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return fail<double>(key);
        return v.toDouble();
    }
    // An integer member: a whole, non-negative number that fits in `max`.
    std::optional<uint64_t> unsignedInteger(const char* key, const QJsonValue& v, double max)
    {
        if (!v.isDouble())
            return fail<std::optional<uint64_t>>(key);
        const double d = v.toDouble();
        if (!std::isfinite(d) || d < 0 || d > max || std::floor(d) != d)
            return fail<std::optional<uint64_t>>(key);
        // 2^64 itself rounds into range as a double; keep it out.
        if (d >= 18446744073709551616.0)
            return fail<std::optional<uint64_t>>(key);
        return uint64_t(d);
    }
    uint64_t requiredUnsigned(const char* key, double max)
    {
        auto r = unsignedInteger(key, m_o.value(QLatin1String(key)), max);
        return r.value_or(0);
    }
    std::optional<uint64_t> optionalUnsigned(const char* key, double max)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return std::nullopt;
        return unsignedInteger(key, v, max);
    }
    QUuid uuid(const char* key)
    {
        const QString s = string(key);
        if (!m_ok)
            return {};
        auto id = decodeUuid(s);
        if (!id)
            return fail<QUuid>(key);
        return *id;
    }
    QDateTime date(const char* key)
    {
        const double d = number(key);
        if (!m_ok)
            return {};
        auto date = decodeDate(d);
        if (!date)
            return fail<QDateTime>(key);
        return *date;
    }
    QJsonObject object(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (!v.isObject())
            return fail<QJsonObject>(key);
        return v.toObject();
    }
    template <typename E>
    E enumeration(const char* key, std::optional<E> (*fromRaw)(const QString&))
    {
        const QString raw = string(key);
        if (!m_ok)
            return E{};
        auto e = fromRaw(raw);
        if (!e)
            return fail<E>(key);
        return *e;
    }
    // A nested record under `key` failed at its own member `inner`.
    void requireNested(const char* key, bool condition, const QString& inner)
    {
        if (!condition)
            fail<int>(key, inner);
    }

private:
    template <typename T>
    T fail(const char* key, const QString& inner = {})
    {
        if (m_ok)
            m_failedMember = inner.isEmpty() ? QLatin1String(key)
                                             : QLatin1String(key) + QLatin1Char('.') + inner;
        m_ok = false;
        return T{};
    }
    const QJsonObject& m_o;
    bool m_ok = true;
    QString m_failedMember;
};

constexpr double kMaxU16 = 65535.0;
constexpr double kMaxU64 = 18446744073709551615.0;

template <typename T>
std::optional<QList<T>> decodeList(const QByteArray& bytes,
                                   std::optional<T> (*decodeOne)(const QJsonObject&))
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    const QJsonArray array = doc.array();
    QList<T> list;
    list.reserve(array.size());
    for (const QJsonValue& v : array) {
        if (!v.isObject())
            return std::nullopt;
        auto item = decodeOne(v.toObject());
        if (!item)
            return std::nullopt;
        list.append(std::move(*item));
    }
    return list;
}

template <typename T>
QByteArray encodeList(const QList<T>& list)
{
    QJsonArray array;
    for (const T& item : list)
        array.append(encode(item));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

template <typename T>
void putOptional(QJsonObject& o, const char* key, const std::optional<T>& v)
{
    if (v)
        o.insert(QLatin1String(key), *v);
}

} // namespace

double encodeDate(const QDateTime& d)
{
    return double(d.toMSecsSinceEpoch() - kReferenceMs) / 1000.0;
}

std::optional<QDateTime> decodeDate(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxDateSeconds)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(kReferenceMs + qint64(std::llround(seconds * 1000.0)),
                                          Qt::UTC);
}

QString encodeUuid(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> decodeUuid(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (text.size() != 36 || !pattern.match(text).hasMatch())
        return std::nullopt;
    return QUuid::fromString(text);
}

QJsonObject encode(const HotkeyConfig& v)
{
    return QJsonObject{{QStringLiteral("keyCode"), double(v.keyCode)},
                       {QStringLiteral("modifiers"), double(v.modifiers)},
                       {QStringLiteral("displayString"), v.displayString}};
}

std::optional<HotkeyConfig> decodeHotkeyConfig(const QJsonObject& o, QString* failedMember)
{
    Reader r(o);
    HotkeyConfig v;
    v.keyCode = uint16_t(r.requiredUnsigned("keyCode", kMaxU16));
    v.modifiers = r.requiredUnsigned("modifiers", kMaxU64);
    v.displayString = r.string("displayString");
    if (!r.ok()) {
        if (failedMember)
            *failedMember = r.failedMember();
        return std::nullopt;
    }
    return v;
}

QJsonObject encode(const Command& v)
{
    QJsonObject o{{QStringLiteral("id"), encodeUuid(v.id)},
                  {QStringLiteral("name"), v.name},
                  {QStringLiteral("prompt"), v.prompt},
                  {QStringLiteral("icon"), v.icon},
                  {QStringLiteral("isEnabled"), v.isEnabled},
                  {QStringLiteral("category"), rawValue(v.category)},
                  {QStringLiteral("createdAt"), encodeDate(v.createdAt)},
                  {QStringLiteral("updatedAt"), encodeDate(v.updatedAt)}};
    putOptional(o, "shortcut", v.shortcut);
    if (v.shortcutKeyCode)
        o.insert(QStringLiteral("shortcutKeyCode"), double(*v.shortcutKeyCode));
    if (v.shortcutModifiers)
        o.insert(QStringLiteral("shortcutModifiers"), double(*v.shortcutModifiers));
    return o;
}

std::optional<Command> decodeCommand(const QJsonObject& o)
{
    Reader r(o);
    Command v;
    v.id = r.uuid("id");
    v.name = Command::cappedName(r.string("name"));
    v.prompt = r.string("prompt");
    v.icon = r.string("icon");
    v.isEnabled = r.boolean("isEnabled");
    v.category = r.enumeration<CommandCategory>("category", &commandCategoryFromRaw);
    v.shortcut = r.optionalString("shortcut");
    if (auto code = r.optionalUnsigned("shortcutKeyCode", kMaxU16))
        v.shortcutKeyCode = uint16_t(*code);
    v.shortcutModifiers = r.optionalUnsigned("shortcutModifiers", kMaxU64);
    v.createdAt = r.date("createdAt");
    v.updatedAt = r.date("updatedAt");
    if (!r.ok())
        return std::nullopt;
    return v;
}

QJsonObject encode(const AppSettings& v)
{
    QJsonObject o{{QStringLiteral("aiProvider"), rawValue(v.aiProvider)},
                  {QStringLiteral("selectedModel"), v.selectedModel},
                  {QStringLiteral("openaiApiKey"), v.openaiApiKey},
                  {QStringLiteral("claudeApiKey"), v.claudeApiKey},
                  {QStringLiteral("deepseekApiKey"), v.deepseekApiKey},
                  {QStringLiteral("geminiApiKey"), v.geminiApiKey},
                  {QStringLiteral("ollamaHost"), v.ollamaHost},
                  {QStringLiteral("theme"), rawValue(v.theme)},
                  {QStringLiteral("overlayHotkey"), encode(v.overlayHotkey)},
                  {QStringLiteral("launchAtLogin"), v.launchAtLogin},
                  {QStringLiteral("showInMenuBar"), v.showInMenuBar},
                  {QStringLiteral("showInDock"), v.showInDock},
                  {QStringLiteral("soundEnabled"), v.soundEnabled},
                  {QStringLiteral("hapticEnabled"), v.hapticEnabled},
                  {QStringLiteral("autoCloseOverlay"), v.autoCloseOverlay},
                  {QStringLiteral("overlayWidth"), v.overlayWidth},
                  {QStringLiteral("overlayOpacity"), v.overlayOpacity}};
    putOptional(o, "claudeModel", v.claudeModel);
    putOptional(o, "openaiModel", v.openaiModel);
    putOptional(o, "typeToAskInPalette", v.typeToAskInPalette);
    putOptional(o, "restoreClipboard", v.restoreClipboard);
    putOptional(o, "customBaseURL", v.customBaseURL);
    putOptional(o, "customApiKey", v.customApiKey);
    putOptional(o, "customModel", v.customModel);
    putOptional(o, "tovalinBaseURL", v.tovalinBaseURL);
    return o;
}

std::optional<AppSettings> decodeAppSettings(const QJsonObject& o, QString* failedMember)
{
    Reader r(o);
    AppSettings v;
    v.aiProvider = r.enumeration<AIProvider>("aiProvider", &aiProviderFromRaw);
    v.selectedModel = r.string("selectedModel");
    v.openaiApiKey = r.string("openaiApiKey");
    v.claudeApiKey = r.string("claudeApiKey");
    v.deepseekApiKey = r.string("deepseekApiKey");
    v.geminiApiKey = r.string("geminiApiKey");
    v.ollamaHost = r.string("ollamaHost");
    v.theme = r.enumeration<AppTheme>("theme", &appThemeFromRaw);
    const QJsonObject hotkey = r.object("overlayHotkey");
    if (r.ok()) {
        QString inner;
        auto config = decodeHotkeyConfig(hotkey, &inner);
        r.requireNested("overlayHotkey", config.has_value(), inner);
        if (config)
            v.overlayHotkey = *config;
    }
    v.launchAtLogin = r.boolean("launchAtLogin");
    v.showInMenuBar = r.boolean("showInMenuBar");
    v.showInDock = r.boolean("showInDock");
    v.soundEnabled = r.boolean("soundEnabled");
    v.hapticEnabled = r.boolean("hapticEnabled");
    v.autoCloseOverlay = r.boolean("autoCloseOverlay");
    v.overlayWidth = r.number("overlayWidth");
    v.overlayOpacity = r.number("overlayOpacity");
    v.claudeModel = r.optionalString("claudeModel");
    v.openaiModel = r.optionalString("openaiModel");
    v.customBaseURL = r.optionalString("customBaseURL");
    v.customApiKey = r.optionalString("customApiKey");
    v.customModel = r.optionalString("customModel");
    v.tovalinBaseURL = r.optionalString("tovalinBaseURL");
    v.typeToAskInPalette = r.optionalBoolean("typeToAskInPalette");
    v.restoreClipboard = r.optionalBoolean("restoreClipboard");
    if (!r.ok()) {
        if (failedMember)
            *failedMember = r.failedMember();
        return std::nullopt;
    }
    return v;
}

QJsonObject encode(const HistoryItem& v)
{
    QJsonObject o{{QStringLiteral("id"), encodeUuid(v.id)},
                  {QStringLiteral("commandId"), encodeUuid(v.commandId)},
                  {QStringLiteral("commandName"), v.commandName},
                  {QStringLiteral("originalText"), v.originalText},
                  {QStringLiteral("resultText"), v.resultText},
                  {QStringLiteral("timestamp"), encodeDate(v.timestamp)},
                  {QStringLiteral("success"), v.success}};
    putOptional(o, "errorMessage", v.errorMessage);
    putOptional(o, "instruction", v.instruction);
    return o;
}

std::optional<HistoryItem> decodeHistoryItem(const QJsonObject& o)
{
    Reader r(o);
    HistoryItem v;
    v.id = r.uuid("id");
    v.commandId = r.uuid("commandId");
    v.commandName = r.string("commandName");
    v.originalText = r.string("originalText");
    v.resultText = r.string("resultText");
    v.timestamp = r.date("timestamp");
    v.success = r.boolean("success");
    v.errorMessage = r.optionalString("errorMessage");
    v.instruction = r.optionalString("instruction");
    if (!r.ok())
        return std::nullopt;
    return v;
}

QByteArray encodeSettingsDocument(const AppSettings& v)
{
    return QJsonDocument(encode(v)).toJson(QJsonDocument::Compact);
}

QByteArray encodeCommandsDocument(const QList<Command>& v) { return encodeList(v); }
QByteArray encodeHistoryDocument(const QList<HistoryItem>& v) { return encodeList(v); }

qsizetype historyEntriesFitting(const QList<HistoryItem>& v, qint64 maxBytes)
{
    // The compact array is "[" + the compact entries joined by "," + "]".
    qint64 size = 2;
    for (qsizetype i = 0; i < v.size(); ++i) {
        size += QJsonDocument(encode(v[i])).toJson(QJsonDocument::Compact).size() + (i > 0 ? 1 : 0);
        if (size > maxBytes)
            return i;
    }
    return v.size();
}

std::optional<AppSettings> decodeSettingsDocument(const QByteArray& bytes, QString* whyNot)
{
    const auto why = [whyNot](const QString& text) {
        if (whyNot)
            *whyNot = text;
    };
    if (bytes.isEmpty()) {
        why(QStringLiteral("the document is empty"));
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        why(QStringLiteral("JSON parse error at offset %1: %2").arg(error.offset).arg(error.errorString()));
        return std::nullopt;
    }
    if (!doc.isObject()) {
        why(QStringLiteral("the document is not a JSON object"));
        return std::nullopt;
    }
    QString member;
    auto settings = decodeAppSettings(doc.object(), &member);
    if (!settings) {
        QJsonValue value = doc.object();
        for (const QString& part : member.split(QLatin1Char('.')))
            value = value.toObject().value(part);
        why(QString::fromLatin1(value.isUndefined() ? "member \"%1\" is missing"
                                                    : "member \"%1\" has a wrong type or value")
                .arg(member));
    }
    return settings;
}

std::optional<QList<Command>> decodeCommandsDocument(const QByteArray& bytes)
{
    return decodeList<Command>(bytes, &decodeCommand);
}

std::optional<QList<HistoryItem>> decodeHistoryDocument(const QByteArray& bytes)
{
    return decodeList<HistoryItem>(bytes, &decodeHistoryItem);
}

} // namespace JsonCodec
