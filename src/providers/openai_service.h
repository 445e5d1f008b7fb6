#pragma once

#include "chat_completions_service.h"

// OpenAI chat completions; the key travels in the Authorization header.
class OpenAIService final : public ChatCompletionsService {
public:
    static constexpr auto endpoint = "https://api.openai.com/v1/chat/completions";

    OpenAIService(QString apiKey, QString model, QString baseURL,
        std::chrono::milliseconds timeout = defaultTimeout);
};
