#pragma once

#include "ai_service.h"
#include "http_json_client.h"
#include "reply_rules.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>
#include <chrono>
#include <memory>

class RequestCanceller;

// The one request/response cycle every provider client shares: build the request (asking
// for a streamed answer), post it with the client's time-out, read the answer by the
// client's rules, streamed or whole, and sort the errors. A client only says what it sends
// and how its replies read.
class ProviderService : public AIService {
public:
    static constexpr std::chrono::milliseconds defaultTimeout{60'000};

    ~ProviderService() override;

    QCoro::Task<QString> processText(QString prompt, QString text) final;
    QCoro::Task<QString> streamText(QString prompt, QString text, TextSoFar onText) final;
    void cancel() final;
    std::chrono::milliseconds timeout() const { return m_timeout; }
    const ReplyRules& replyRules() const { return m_rules; }

    // One request as a client builds it.
    struct Outgoing {
        QUrl url;
        HttpHeaders headers; // besides Content-Type, which every request carries
        QJsonObject body;
    };

protected:
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
    std::shared_ptr<RequestCanceller> m_canceller;
};
