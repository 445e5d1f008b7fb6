#pragma once

#include "reply_rules.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Reads a provider's streamed answer (server-sent events or JSON lines) piece by piece,
// however the bytes are split, and gathers the answer. Throws from feed() as soon as the
// stream says something fails: the provider's error event as AIError, an event that is not
// JSON as TransportError, an answer piece of the wrong kind as invalidResponse.
class StreamDecoder {
public:
    explicit StreamDecoder(ReplyRules rules);

    void feed(QByteArrayView bytes);
    // The end event has come; anything after it is ignored.
    bool isComplete() const { return m_complete; }
    // The answer so far as the user may see it (without leading blanks when the answer is
    // trimmed in the end).
    QString textSoFar() const;
    // The whole answer, by the provider's rules. Throws TransportError when the stream
    // stopped before its end event, invalidResponse when no event carried an answer.
    QString answer() const;

private:
    void takeLine(QByteArrayView line);
    void takeEvent(const QByteArray& data);

    ReplyRules m_rules;
    QByteArray m_partialLine;
    QByteArray m_eventData;
    bool m_hasEventData = false;
    QString m_text;
    bool m_sawText = false;
    bool m_complete = false;
};
