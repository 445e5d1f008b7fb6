#include "api_key_store.h"

QString apiKeyIn(const AppSettings& settings, AIProvider provider)
{
    switch (provider) {
    case AIProvider::openai: return settings.openaiApiKey;
    case AIProvider::claude: return settings.claudeApiKey;
    case AIProvider::deepseek: return settings.deepseekApiKey;
    case AIProvider::gemini: return settings.geminiApiKey;
    case AIProvider::custom: return settings.customApiKey.value_or(QString());
    case AIProvider::tovalin:
    case AIProvider::ollama: return {};
    }
    return {};
}

void setApiKeyIn(AppSettings& settings, AIProvider provider, const QString& key)
{
    switch (provider) {
    case AIProvider::openai: settings.openaiApiKey = key; break;
    case AIProvider::claude: settings.claudeApiKey = key; break;
    case AIProvider::deepseek: settings.deepseekApiKey = key; break;
    case AIProvider::gemini: settings.geminiApiKey = key; break;
    case AIProvider::custom:
        // An absent member stays absent: files of earlier versions read the same.
        if (settings.customApiKey || !key.isEmpty())
            settings.customApiKey = key;
        break;
    case AIProvider::tovalin:
    case AIProvider::ollama: break;
    }
}
