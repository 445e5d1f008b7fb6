#include "chat_completions_service.h"

namespace {

ReplyRules chatCompletionsRules()
{
    ReplyRules rules;
    rules.unauthorizedMeansInvalidKey = true;
    rules.tooManyRequestsMeansRateLimited = true;
    rules.answerPath = {QStringLiteral("choices"), qsizetype(0), QStringLiteral("message"),
                        QStringLiteral("content")};
    // {"choices":[{"delta":{"content":"..."}}]} events, then "data: [DONE]".
    rules.stream.endMarker = "[DONE]";
    rules.stream.textPath = {QStringLiteral("choices"), qsizetype(0), QStringLiteral("delta"),
                             QStringLiteral("content")};
    return rules;
}

} // namespace

ChatCompletionsService::ChatCompletionsService(QString apiKey, QString model, QString baseURL,
                                               std::chrono::milliseconds timeout, KeyUse keyUse)
    : KeyedProviderService(chatCompletionsRules(), std::move(apiKey), std::move(model), std::move(baseURL),
                           timeout),
      m_keyUse(keyUse)
{
}

ProviderService::Outgoing ChatCompletionsService::prepare(const QString& prompt,
                                                          const QString& text) const
{
    if (m_keyUse == KeyUse::required)
        requireKey(apiKey());
    Outgoing out;
    out.url = endpointUrl(baseURL());
    if (!apiKey().isEmpty())
        out.headers = {{"Authorization", "Bearer " + apiKey().toUtf8()}};
    out.body = QJsonObject{{QStringLiteral("model"), model()},
                           {QStringLiteral("messages"), userMessages(prompt, text)},
                           {QStringLiteral("max_tokens"), 4096},
                           {QStringLiteral("temperature"), 0.7},
                           {QStringLiteral("stream"), true}};
    return out;
}
