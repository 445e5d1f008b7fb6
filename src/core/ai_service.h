#pragma once

#include <QCoro/QCoroTask>
#include <QString>

// The contract every AI back end fulfils. A client's configuration is fixed at
// construction; one client is built per command run.
class AIService {
public:
    virtual ~AIService() = default;
    // Throws AIError (or TransportError for the relay client) on failure.
    virtual QCoro::Task<QString> processText(QString prompt, QString text) = 0;
};

// prompt + "\n\nText to process:\n" + text, nothing trimmed or added.
QString composeUserMessage(const QString& prompt, const QString& text);
