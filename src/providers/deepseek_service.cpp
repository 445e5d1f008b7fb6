#include "deepseek_service.h"

DeepSeekService::DeepSeekService(QString apiKey, QString model, QString baseURL, std::chrono::milliseconds timeout)
    : ChatCompletionsService(std::move(apiKey), std::move(model), std::move(baseURL), timeout)
{
}
