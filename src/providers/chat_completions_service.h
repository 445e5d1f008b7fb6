#pragma once

#include "keyed_provider_service.h"

// The chat-completions protocol that OpenAI publishes and DeepSeek accepts.
class ChatCompletionsService : public KeyedProviderService {
protected:
    ChatCompletionsService(QString apiKey, QString model, QString baseURL,
                           std::chrono::milliseconds timeout);
    Outgoing prepare(const QString& prompt, const QString& text) const override;
};
