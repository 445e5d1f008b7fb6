#pragma once

#include "chat_completions_service.h"

// DeepSeek chat completions; the key travels in the Authorization header.
class DeepSeekService final : public ChatCompletionsService {
public:
    static constexpr auto endpoint = "https://api.deepseek.com/chat/completions";

    DeepSeekService(QString apiKey, QString model, QString baseURL,
        std::chrono::milliseconds timeout = defaultTimeout);
};
