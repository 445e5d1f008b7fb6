#include "claude_service.h"

namespace {

ReplyRules claudeRules()
{
    ReplyRules rules;
    rules.unauthorizedMeansInvalidKey = true;
    rules.tooManyRequestsMeansRateLimited = true;
    rules.answerPath = {QStringLiteral("content"), qsizetype(0), QStringLiteral("text")};
    return rules;
}

} // namespace

ClaudeService::ClaudeService(QString apiKey, QString model, QString baseURL,
                             std::chrono::milliseconds timeout)
    : ProviderService(claudeRules(), timeout),
      m_apiKey(std::move(apiKey)),
      m_model(std::move(model)),
      m_baseURL(std::move(baseURL))
{
}

ProviderService::Outgoing ClaudeService::prepare(const QString& prompt, const QString& text) const
{
    requireKey(m_apiKey);
    Outgoing out;
    out.url = endpointUrl(m_baseURL);
    out.headers = {{"x-api-key", m_apiKey.toUtf8()}, {"anthropic-version", "2023-06-01"}};
    out.body = QJsonObject{{QStringLiteral("model"), m_model},
                           {QStringLiteral("max_tokens"), 4096},
                           {QStringLiteral("messages"), userMessages(prompt, text)}};
    return out;
}
