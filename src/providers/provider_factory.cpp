#include "provider_factory.h"

#include "claude_service.h"
#include "custom_openai_service.h"
#include "deepseek_service.h"
#include "diagnosed_service.h"
#include "gemini_service.h"
#include "ollama_service.h"
#include "openai_service.h"
#include "stored_key_service.h"
#include "tovalin_api_service.h"

std::unique_ptr<AIService> makeAIService(const AppSettings& settings,
                                         std::optional<std::chrono::milliseconds> timeout)
{
    const QString& model = settings.selectedModel;
    const auto cloud = timeout.value_or(ProviderService::defaultTimeout);
    switch (settings.aiProvider) {
    case AIProvider::tovalin:
        return std::make_unique<TovalinAPIService>(relayBaseURL(settings), model, cloud);
    case AIProvider::openai:
        return std::make_unique<OpenAIService>(settings.openaiApiKey, model,
                                               QString::fromLatin1(OpenAIService::endpoint), cloud);
    case AIProvider::claude:
        return std::make_unique<ClaudeService>(settings.claudeApiKey, model,
                                               QString::fromLatin1(ClaudeService::endpoint), cloud);
    case AIProvider::deepseek:
        return std::make_unique<DeepSeekService>(settings.deepseekApiKey, model,
                                                 QString::fromLatin1(DeepSeekService::endpoint), cloud);
    case AIProvider::gemini:
        return std::make_unique<GeminiService>(settings.geminiApiKey, model,
                                               QString::fromLatin1(GeminiService::endpoint), cloud);
    case AIProvider::ollama:
        return std::make_unique<OllamaService>(
            settings.ollamaHost, model, timeout.value_or(OllamaService::defaultOllamaTimeout));
    case AIProvider::custom:
        return std::make_unique<CustomOpenAIService>(
            settings.customApiKey.value_or(QString()), model, settings.customBaseURL.value_or(QString()),
            timeout.value_or(CustomOpenAIService::defaultCustomTimeout));
    }
    return nullptr;
}

QString relayBaseURL(const AppSettings& settings)
{
    QString url = settings.tovalinBaseURL.value_or(QString()).trimmed();
    if (url.isEmpty())
        url = TovalinAPIService::defaultBaseURL();
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

std::chrono::milliseconds providerTimeout(AIProvider provider)
{
    switch (provider) {
    case AIProvider::ollama: return OllamaService::defaultOllamaTimeout;
    case AIProvider::custom: return CustomOpenAIService::defaultCustomTimeout;
    default: return ProviderService::defaultTimeout;
    }
}

std::unique_ptr<AIService> makeRunService(const AppSettings& settings, ApiKeyStore* keys)
{
    const AIProvider provider = settings.aiProvider;
    const bool inKeyring = keys && keys->location() != ApiKeyStore::Location::file
                           && std::find(keyedProviders.begin(), keyedProviders.end(), provider) != keyedProviders.end()
                           && apiKeyIn(settings, provider).isEmpty();
    std::unique_ptr<AIService> client;
    if (inKeyring)
        client = std::make_unique<StoredKeyService>(settings, *keys, providerTimeout(provider));
    else
        client = makeAIService(settings);
    return std::make_unique<DiagnosedService>(std::move(client), settings);
}
