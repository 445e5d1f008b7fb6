#pragma once

#include "keyed_provider_service.h"

// Anthropic Messages API.
class ClaudeService final : public KeyedProviderService {
public:
    static constexpr auto endpoint = "https://api.anthropic.com/v1/messages";

    ClaudeService(QString apiKey, QString model, QString baseURL,
                  std::chrono::milliseconds timeout = defaultTimeout);

protected:
    Outgoing prepare(const QString& prompt, const QString& text) const override;
};
