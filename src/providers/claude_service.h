#pragma once

#include "provider_service.h"

// Anthropic Messages API.
class ClaudeService final : public ProviderService {
public:
    static constexpr auto endpoint = "https://api.anthropic.com/v1/messages";

    ClaudeService(QString apiKey, QString model, QString baseURL,
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
