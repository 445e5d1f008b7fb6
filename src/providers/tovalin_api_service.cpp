#include "tovalin_api_service.h"

namespace {

ReplyRules relayRules()
{
    ReplyRules rules;
    rules.errorShape = ReplyRules::ErrorShape::errorString;
    rules.answerPath = {QStringLiteral("result")};
    rules.trimAnswer = false;
    rules.wrapForeignErrors = false;
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
    out.body = QJsonObject{{QStringLiteral("prompt"), prompt},
                           {QStringLiteral("text"), text},
                           {QStringLiteral("model"), m_model}};
    return out;
}
