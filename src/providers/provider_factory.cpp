#include "provider_factory.h"

#include "claude_service.h"
#include "deepseek_service.h"
#include "gemini_service.h"
#include "ollama_service.h"
#include "openai_service.h"
#include "tovalin_api_service.h"

std::unique_ptr<AIService> makeAIService(const AppSettings& settings)
{
    const QString& model = settings.selectedModel;
    switch (settings.aiProvider) {
    case AIProvider::tovalin:
        return std::make_unique<TovalinAPIService>(TovalinAPIService::defaultBaseURL(), model);
    case AIProvider::openai:
        return std::make_unique<OpenAIService>(settings.openaiApiKey, model,
                                               QString::fromLatin1(OpenAIService::endpoint));
    case AIProvider::claude:
        return std::make_unique<ClaudeService>(settings.claudeApiKey, model,
                                               QString::fromLatin1(ClaudeService::endpoint));
    case AIProvider::deepseek:
        return std::make_unique<DeepSeekService>(settings.deepseekApiKey, model,
                                                 QString::fromLatin1(DeepSeekService::endpoint));
    case AIProvider::gemini:
        return std::make_unique<GeminiService>(settings.geminiApiKey, model,
                                               QString::fromLatin1(GeminiService::endpoint));
    case AIProvider::ollama:
        return std::make_unique<OllamaService>(settings.ollamaHost, model);
    }
    return nullptr;
}
