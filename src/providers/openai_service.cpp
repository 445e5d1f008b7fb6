#include "openai_service.h"

OpenAIService::OpenAIService(QString apiKey, QString model, QString baseURL, std::chrono::milliseconds timeout)
    : ChatCompletionsService(std::move(apiKey), std::move(model), std::move(baseURL), timeout)
{
}
