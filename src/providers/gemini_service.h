#pragma once

#include "provider_service.h"

// Google Generative Language generateContent; the key travels in the query string.
class GeminiService final : public ProviderService {
public:
    static constexpr auto endpoint = "https://generativelanguage.googleapis.com/v1beta/models";

    GeminiService(QString apiKey, QString model, QString baseURL,
                  std::chrono::milliseconds timeout = defaultTimeout);

    const QString& apiKey() const { return m_apiKey; }
    const QString& model() const { return m_model; }
    const QString& baseURL() const { return m_baseURL; }

protected:
    Outgoing prepare(const QString& prompt, const QString& text) const override;

private:
    QString m_apiKey;
    QString m_model;
    QString m_baseURL;
};
