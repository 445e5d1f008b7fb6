#include "strict_url.h"

namespace {

bool isUrlCharacter(QChar c)
{
    if (c.unicode() > 0x7e || c.unicode() <= 0x20)
        return false;
    if (c.isLetterOrNumber())
        return true;
    static const QString allowed = QStringLiteral("-._~:/?#[]@!$&'()*+,;=%");
    return allowed.contains(c);
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

} // namespace

std::optional<QUrl> parseStrictUrl(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isUrlCharacter(text[i]))
            return std::nullopt;
        if (text[i] == u'%'
            && (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])))
            return std::nullopt;
    }
    QUrl url = QUrl::fromEncoded(text.toLatin1(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

std::optional<QUrl> parseStrictHttpUrl(const QString& text)
{
    auto url = parseStrictUrl(text);
    if (!url)
        return std::nullopt;
    const QString scheme = url->scheme();
    if ((scheme != u"http" && scheme != u"https") || url->host().isEmpty())
        return std::nullopt;
    return url;
}
