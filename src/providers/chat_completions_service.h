#pragma once

#include "provider_service.h"

// The chat-completions protocol that OpenAI publishes and DeepSeek accepts.
class ChatCompletionsService : public ProviderService {
public:
    const QString& apiKey() const { return m_apiKey; }
    const QString& model() const { return m_model; }
    const QString& baseURL() const { return m_baseURL; }

protected:
    ChatCompletionsService(QString apiKey, QString model, QString baseURL,
                           std::chrono::milliseconds timeout);
    Outgoing prepare(const QString& prompt, const QString& text) const override;

private:
    QString m_apiKey;
    QString m_model;
    QString m_baseURL;
};
