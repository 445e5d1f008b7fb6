#include "claude_service.h"

namespace {

ReplyRules claudeRules()
{
    ReplyRules rules;
    rules.unauthorizedMeansInvalidKey = true;
    rules.tooManyRequestsMeansRateLimited = true;
    rules.answerPath = {QStringLiteral("content"), qsizetype(0), QStringLiteral("text")};
    // Text arrives in content_block_delta events; only the first block is the answer, as in
    // a whole reply. message_stop ends the stream, an "error" event fails it.
    rules.stream.textPath = {QStringLiteral("delta"), QStringLiteral("text")};
    rules.stream.textWhen = JsonTest{{QStringLiteral("index")}, 0};
    rules.stream.endWhen = JsonTest{{QStringLiteral("type")}, QStringLiteral("message_stop")};
    return rules;
}

} // namespace

ClaudeService::ClaudeService(QString apiKey, QString model, QString baseURL,
                             std::chrono::milliseconds timeout)
    : KeyedProviderService(claudeRules(), std::move(apiKey), std::move(model), std::move(baseURL),
                           timeout)
{
}

ProviderService::Outgoing ClaudeService::prepare(const QString& prompt, const QString& text) const
{
    requireKey(apiKey());
    Outgoing out;
    out.url = endpointUrl(baseURL());
    out.headers = {{"x-api-key", apiKey().toUtf8()}, {"anthropic-version", "2023-06-01"}};
    out.body = QJsonObject{{QStringLiteral("model"), model()},
                           {QStringLiteral("max_tokens"), 4096},
                           {QStringLiteral("messages"), userMessages(prompt, text)},
                       {QStringLiteral("stream"), true}};
    return out;
}
