#include "console.h"

#include "pasted_text.h"

#include <QRegularExpression>
#include <cstdio>

namespace {
Console::Sink& sink()
{
    static Console::Sink s;
    return s;
}

QString escapeControls(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isHiddenControl(c.unicode()))
            out += c.unicode() > 0xff ? QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))
                                      : QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
} // namespace

QString Console::redactUserInfo(const QString& text)
{
    // Scheme, then everything up to the last '@' before the authority ends.
    static const QRegularExpression userInfo(QStringLiteral(R"((\b[A-Za-z][A-Za-z0-9+.-]*://)[^\s/?#]*@)"));
    QString out = text;
    return out.replace(userInfo, QStringLiteral("\\1***@"));
}

void Console::line(const QString& text)
{
    const QString printable = escapeControls(redactUserInfo(text));
    if (sink()) {
        sink()(printable);
        return;
    }
    const QByteArray bytes = printable.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

Console::Sink Console::setSink(Sink s)
{
    Sink previous = std::move(sink());
    sink() = std::move(s);
    return previous;
}
