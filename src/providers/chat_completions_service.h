#pragma once

#include "keyed_provider_service.h"

// The chat-completions protocol that OpenAI publishes and DeepSeek accepts, and with them
// most local servers and gateways.
class ChatCompletionsService : public KeyedProviderService {
protected:
    enum class KeyUse {
        required, // an empty key fails before anything is sent
        optional, // an empty key sends no Authorization header
    };

    ChatCompletionsService(QString apiKey, QString model, QString baseURL,
                           std::chrono::milliseconds timeout, KeyUse keyUse = KeyUse::required);
    Outgoing prepare(const QString& prompt, const QString& text) const override;

private:
    KeyUse m_keyUse;
};
