#include "chat_completions_service.h"

namespace {

ReplyRules chatCompletionsRules()
{
    ReplyRules rules;
    rules.unauthorizedMeansInvalidKey = true;
    rules.tooManyRequestsMeansRateLimited = true;
    rules.answerPath = {QStringLiteral("choices"), qsizetype(0), QStringLiteral("message"),
                        QStringLiteral("content")};
    return rules;
}

} // namespace

ChatCompletionsService::ChatCompletionsService(QString apiKey, QString model, QString baseURL,
                                               std::chrono::milliseconds timeout)
    : ProviderService(chatCompletionsRules(), timeout),
      m_apiKey(std::move(apiKey)),
      m_model(std::move(model)),
      m_baseURL(std::move(baseURL))
{
}

ProviderService::Outgoing ChatCompletionsService::prepare(const QString& prompt,
                                                          const QString& text) const
{
    requireKey(m_apiKey);
    Outgoing out;
    out.url = endpointUrl(m_baseURL);
    out.headers = {{"Authorization", "Bearer " + m_apiKey.toUtf8()}};
    out.body = QJsonObject{{QStringLiteral("model"), m_model},
                           {QStringLiteral("messages"), userMessages(prompt, text)},
                           {QStringLiteral("max_tokens"), 4096},
                           {QStringLiteral("temperature"), 0.7}};
    return out;
}
