#pragma once

#include "ai_service.h"
#include "http_json_client.h"
#include "reply_rules.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>
#include <chrono>

// The one request/response cycle every provider client shares: build the request,
// post it with the client's time-out, read the answer by the client's rules, and sort
// the errors. A client only says what it sends and how its replies read.
class ProviderService : public AIService {
public:
    static constexpr std::chrono::milliseconds defaultTimeout{60'000};

    QCoro::Task<QString> processText(QString prompt, QString text) final;
    std::chrono::milliseconds timeout() const { return m_timeout; }
    const ReplyRules& replyRules() const { return m_rules; }

protected:
    struct Outgoing {
        QUrl url;
        HttpHeaders headers; // besides Content-Type, which every request carries
        QJsonObject body;
    };

    ProviderService(ReplyRules rules, std::chrono::milliseconds timeout);

    // Builds the request. Throws AIError when the call has to fail before anything is sent.
    virtual Outgoing prepare(const QString& prompt, const QString& text) const = 0;

    // Throws invalidAPIKey for an empty key; blanks count as a key.
    static void requireKey(const QString& apiKey);
    // [{"role": "user", "content": composeUserMessage(prompt, text)}]
    static QJsonArray userMessages(const QString& prompt, const QString& text);
    // The URL of a fixed endpoint; a malformed one is reported as invalidResponse.
    static QUrl endpointUrl(const QString& text);

private:
    ReplyRules m_rules;
    std::chrono::milliseconds m_timeout;
};
