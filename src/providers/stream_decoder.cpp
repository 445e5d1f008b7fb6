#include "stream_decoder.h"

#include "ai_error.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace {

bool passes(const QJsonObject& event, const JsonTest& test)
{
    const QJsonValue value = followJsonPath(event, test.path);
    return test.value.isUndefined() ? !value.isUndefined() && !value.isNull() : value == test.value;
}

} // namespace

StreamDecoder::StreamDecoder(ReplyRules rules) : m_rules(std::move(rules)) {}

void StreamDecoder::feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && !m_complete) {
        const qsizetype end = bytes.indexOf('\n');
        if (end < 0) {
            m_partialLine += bytes;
            return;
        }
        m_partialLine += bytes.first(end);
        bytes = bytes.sliced(end + 1);
        if (m_partialLine.endsWith('\r'))
            m_partialLine.chop(1);
        const QByteArray line = std::exchange(m_partialLine, QByteArray());
        takeLine(line);
    }
}

void StreamDecoder::takeLine(QByteArrayView line)
{
    if (m_rules.stream.jsonLines) {
        if (!line.trimmed().isEmpty())
            takeEvent(line.toByteArray());
        return;
    }
    // Server-sent events: "data:" lines gather until a blank line ends the event; "event:",
    // "id:", "retry:" and ":" comments carry nothing the answer needs.
    if (line.isEmpty()) {
        if (std::exchange(m_hasEventData, false))
            takeEvent(std::exchange(m_eventData, QByteArray()));
        return;
    }
    if (!line.startsWith("data:"))
        return;
    QByteArrayView data = line.sliced(5);
    if (data.startsWith(' '))
        data = data.sliced(1);
    if (m_hasEventData)
        m_eventData += '\n';
    m_eventData += data;
    m_hasEventData = true;
}

void StreamDecoder::takeEvent(const QByteArray& data)
{
    const StreamRules& rules = m_rules.stream;
    if (!rules.endMarker.isEmpty() && data.trimmed() == rules.endMarker) {
        m_complete = true;
        return;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        throw TransportError(QStringLiteral("The stream is not valid JSON (%1 at offset %2)")
                                 .arg(parseError.errorString())
                                 .arg(parseError.offset));
    const QJsonObject event = document.object();
    if (const QJsonValue error = event.value(QStringLiteral("error"));
        !error.isUndefined() && !error.isNull()) {
        if (auto message = providerMessage(m_rules, event))
            throw AIError::serverError(*message);
        throw AIError::invalidResponse();
    }
    if (!rules.textWhen || passes(event, *rules.textWhen)) {
        const QJsonValue piece = followJsonPath(event, rules.textPath);
        if (piece.isString()) {
            m_text += piece.toString();
            m_sawText = true;
        } else if (!piece.isUndefined() && !piece.isNull()) {
            throw AIError::invalidResponse();
        }
    }
    if (rules.endWhen && passes(event, *rules.endWhen))
        m_complete = true;
}

QString StreamDecoder::textSoFar() const
{
    if (!m_rules.trimAnswer)
        return m_text;
    qsizetype start = 0;
    while (start < m_text.size() && m_text.at(start).isSpace())
        ++start;
    return m_text.sliced(start);
}

QString StreamDecoder::answer() const
{
    if (!m_complete)
        throw TransportError(QStringLiteral("The answer stopped before its end"));
    if (!m_sawText)
        throw AIError::invalidResponse();
    return m_rules.trimAnswer ? m_text.trimmed() : m_text;
}
