#include "key_redactor.h"

#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace {
// Shorter keys are test stand-ins; blanking every occurrence would garble ordinary words.
constexpr qsizetype kShortestKey = 6;
constexpr auto kHidden = QLatin1String("***");
} // namespace

KeyRedactor::KeyRedactor(QStringList keys)
{
    for (const QString& key : keys) {
        if (key.trimmed().size() < kShortestKey)
            continue;
        m_keys << key << QString::fromLatin1(QUrl::toPercentEncoding(key));
    }
    m_keys.removeDuplicates();
    // The longest first, so a key inside another is not left half shown.
    std::sort(m_keys.begin(), m_keys.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
}

QString KeyRedactor::redact(QString text) const
{
    for (const QString& key : m_keys)
        text.replace(key, kHidden);
    static const QList<std::pair<QRegularExpression, QString>> shapes{
        // Authorization header values, whatever the scheme's spelling.
        {QRegularExpression(QStringLiteral(R"(\b(Bearer|Basic)\s+[^\s"',;]+)"), QRegularExpression::CaseInsensitiveOption),
         QStringLiteral("\\1 ***")},
        // OpenAI, DeepSeek and Anthropic keys, also half masked ("sk-abc1****wxyz").
        {QRegularExpression(QStringLiteral(R"(\bsk-[A-Za-z0-9_*.\-]{3,})")), QStringLiteral("sk-***")},
        // Google keys, alone or as the "key" query member of an echoed address.
        {QRegularExpression(QStringLiteral(R"(\bAIza[0-9A-Za-z_\-]{20,})")), QString(kHidden)},
        {QRegularExpression(QStringLiteral(R"(([?&](?:api[_-]?)?key=)[^&\s"']+)"), QRegularExpression::CaseInsensitiveOption),
         QStringLiteral("\\1***")},
        // Anthropic's header, echoed as "x-api-key: ...".
        {QRegularExpression(QStringLiteral(R"(\b(x-api-key\s*[:=]\s*)[^\s"',;]+)"), QRegularExpression::CaseInsensitiveOption),
         QStringLiteral("\\1***")},
    };
    for (const auto& [shape, replacement] : shapes)
        text.replace(shape, replacement);
    return text;
}
