#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <functional>

// The contract every AI back end fulfils. A client's configuration is fixed at
// construction; one client is built per command run.
class AIService {
public:
    // Called with the answer so far each time it grows.
    using TextSoFar = std::function<void(const QString& soFar)>;

    virtual ~AIService() = default;
    // The whole answer. Throws AIError (or TransportError for the relay client) on failure,
    // RunCancelled after cancel().
    virtual QCoro::Task<QString> processText(QString prompt, QString text) = 0;
    // The same answer, shown while it arrives: onText sees the text so far as it grows. The
    // task still yields only the whole answer, and fails as processText does; a stream cut
    // before its end is a failure, never a shorter answer. A client that cannot stream calls
    // onText once with the whole answer.
    virtual QCoro::Task<QString> streamText(QString prompt, QString text, TextSoFar onText);
    // Ends the call in flight (its connection is closed) and makes it throw RunCancelled.
    virtual void cancel() {}
};

// prompt + "\n\nText to process:\n" + text, nothing trimmed or added.
QString composeUserMessage(const QString& prompt, const QString& text);
