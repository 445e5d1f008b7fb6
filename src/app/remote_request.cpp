#include "remote_request.h"

#include <QStringDecoder>
#include <algorithm>

namespace {
const QByteArray kShow = QByteArrayLiteral("show");
const QByteArray kPalette = QByteArrayLiteral("palette");
const QByteArray kRunPrefix = QByteArrayLiteral("run ");

// Strict UTF-8 without control characters: anything else did not come from tovalin.
std::optional<QString> printableText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError() || std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return std::nullopt;
    return text;
}
} // namespace

QByteArray RemoteRequest::toLine() const
{
    switch (kind) {
    case Kind::show:
        return kShow + '\n';
    case Kind::palette:
        return kPalette + '\n';
    case Kind::run:
        break;
    }
    return kRunPrefix + commandName.toUtf8() + '\n';
}

std::optional<RemoteRequest> RemoteRequest::fromLine(const QByteArray& line)
{
    if (line.size() >= maxLineBytes)
        return std::nullopt;
    if (line == kShow)
        return RemoteRequest{Kind::show, {}};
    if (line == kPalette)
        return RemoteRequest{Kind::palette, {}};
    if (!line.startsWith(kRunPrefix))
        return std::nullopt;
    const std::optional<QString> name = printableText(line.mid(kRunPrefix.size()));
    if (!name || name->trimmed().isEmpty())
        return std::nullopt;
    return RemoteRequest{Kind::run, *name};
}

QByteArray RemoteReply::toLine() const
{
    return QByteArray::number(status) + ' ' + message.toUtf8() + '\n';
}

std::optional<RemoteReply> RemoteReply::fromLine(const QByteArray& line)
{
    const qsizetype space = line.indexOf(' ');
    bool ok = false;
    const int status = line.left(space).toInt(&ok);
    const std::optional<QString> message = printableText(line.mid(space + 1));
    if (space < 0 || !ok || status < 0 || status > 255 || !message)
        return std::nullopt;
    return RemoteReply{status, *message};
}
