#include "gemini_service.h"

#include "ai_error.h"
#include "strict_url.h"

namespace {

ReplyRules geminiRules()
{
    ReplyRules rules;
    rules.unauthorizedMeansInvalidKey = true;
    rules.forbiddenMeansInvalidKey = true;
    rules.tooManyRequestsMeansRateLimited = true;
    rules.answerPath = {QStringLiteral("candidates"), qsizetype(0), QStringLiteral("content"),
                        QStringLiteral("parts"),      qsizetype(0), QStringLiteral("text")};
    // Each event is a GenerateContentResponse holding the next piece; the last one names
    // why the answer finished.
    rules.stream.textPath = rules.answerPath;
    rules.stream.endWhen =
        JsonTest{{QStringLiteral("candidates"), qsizetype(0), QStringLiteral("finishReason")}};
    return rules;
}

} // namespace

GeminiService::GeminiService(QString apiKey, QString model, QString baseURL,
                             std::chrono::milliseconds timeout)
    : KeyedProviderService(geminiRules(), std::move(apiKey), std::move(model), std::move(baseURL),
                           timeout)
{
}

ProviderService::Outgoing GeminiService::prepare(const QString& prompt, const QString& text) const
{
    requireKey(apiKey());
    Outgoing out;
    out.body = QJsonObject{
        {QStringLiteral("contents"),
         QJsonArray{QJsonObject{
             {QStringLiteral("parts"),
              QJsonArray{QJsonObject{{QStringLiteral("text"), composeUserMessage(prompt, text)}}}}}}},
        {QStringLiteral("generationConfig"),
         QJsonObject{{QStringLiteral("temperature"), 0.7},
                     {QStringLiteral("maxOutputTokens"), 4096}}}};
    // Model and key go in as written; a character that would need encoding makes the URL invalid.
    const auto url = parseStrictHttpUrl(baseURL() + u'/' + model()
                                        + QStringLiteral(":streamGenerateContent?alt=sse&key=") + apiKey());
    if (!url)
        throw AIError::invalidResponse();
    out.url = *url;
    return out;
}
