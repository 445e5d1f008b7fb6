#pragma once

#include "records.h"

#include <QUrl>

// Every address the window opens in the browser or the mail program.
namespace ExternalLinks {

inline QUrl website() { return QUrl(QStringLiteral("https://tovalin.app")); }
inline QUrl support() { return QUrl(QStringLiteral("mailto:support@tovalin.app")); }

// The page where a keyed provider hands out API keys; empty for the others.
inline QUrl apiKeyPage(AIProvider provider)
{
    switch (provider) {
    case AIProvider::openai: return QUrl(QStringLiteral("https://platform.openai.com/api-keys"));
    case AIProvider::claude: return QUrl(QStringLiteral("https://console.anthropic.com/settings/keys"));
    case AIProvider::deepseek: return QUrl(QStringLiteral("https://platform.deepseek.com/api_keys"));
    case AIProvider::gemini: return QUrl(QStringLiteral("https://aistudio.google.com/app/apikey"));
    case AIProvider::tovalin:
    case AIProvider::ollama:
    case AIProvider::custom: return {};
    }
    return {};
}

} // namespace ExternalLinks
