#pragma once

#include "keyed_provider_service.h"

// Google Generative Language generateContent; the key travels in the query string.
class GeminiService final : public KeyedProviderService {
public:
    static constexpr auto endpoint = "https://generativelanguage.googleapis.com/v1beta/models";

    GeminiService(QString apiKey, QString model, QString baseURL,
                  std::chrono::milliseconds timeout = defaultTimeout);

protected:
    Outgoing prepare(const QString& prompt, const QString& text) const override;
};
