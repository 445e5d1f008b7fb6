#include "custom_openai_service.h"

#include "ai_error.h"
#include "strict_url.h"

CustomOpenAIService::CustomOpenAIService(QString apiKey, QString model, QString serverURL,
                                         std::chrono::milliseconds timeout)
    : ChatCompletionsService(std::move(apiKey), std::move(model),
                             endpoint(serverURL, QStringLiteral("/chat/completions")), timeout,
                             KeyUse::optional),
      m_serverURL(std::move(serverURL))
{
}

QString CustomOpenAIService::endpoint(const QString& serverURL, const QString& path)
{
    QString base = serverURL.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + path;
}

ProviderService::Outgoing CustomOpenAIService::prepare(const QString& prompt,
                                                       const QString& text) const
{
    // The address is the user's own typing: say so rather than blame the answer.
    if (!parseStrictHttpUrl(baseURL()))
        throw AIError::serverError(QStringLiteral("Invalid OpenAI-compatible server URL"));
    return ChatCompletionsService::prepare(prompt, text);
}
