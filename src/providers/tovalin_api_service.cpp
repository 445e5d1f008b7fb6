#include "tovalin_api_service.h"

namespace {

ReplyRules relayRules()
{
    ReplyRules rules;
    rules.errorShape = ReplyRules::ErrorShape::errorString;
    rules.answerPath = {QStringLiteral("result")};
    rules.trimAnswer = false;
    rules.wrapForeignErrors = false;
    // The relay's streamed /chat: {"delta": "..."} events, then {"done": true}; a failure
    // after the start is an {"error": "..."} event.
    rules.stream.textPath = {QStringLiteral("delta")};
    rules.stream.endWhen = JsonTest{{QStringLiteral("done")}, true};
    return rules;
}

} // namespace

QString TovalinAPIService::defaultBaseURL() { return QStringLiteral(TOVALIN_RELAY_URL); }

TovalinAPIService::TovalinAPIService(QString baseURL, QString model,
                                     std::chrono::milliseconds timeout)
    : ProviderService(relayRules(), timeout), m_baseURL(std::move(baseURL)), m_model(std::move(model))
{
}

ProviderService::Outgoing TovalinAPIService::prepare(const QString& prompt,
                                                     const QString& text) const
{
    Outgoing out;
    out.url = endpointUrl(m_baseURL + QStringLiteral("/chat"));
    out.headers = {{"Accept", "text/event-stream"}};
    out.body = QJsonObject{{QStringLiteral("prompt"), prompt},
                           {QStringLiteral("text"), text},
                           {QStringLiteral("model"), m_model},
                           {QStringLiteral("stream"), true}};
    return out;
}
