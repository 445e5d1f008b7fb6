#pragma once

#include "provider_service.h"

// The cloud clients: a key, a model and a full endpoint, fixed at construction.
class KeyedProviderService : public ProviderService {
public:
    const QString& apiKey() const { return m_apiKey; }
    const QString& model() const { return m_model; }
    const QString& baseURL() const { return m_baseURL; }

protected:
    KeyedProviderService(ReplyRules rules, QString apiKey, QString model, QString baseURL,
                         std::chrono::milliseconds timeout)
        : ProviderService(std::move(rules), timeout),
          m_apiKey(std::move(apiKey)), m_model(std::move(model)), m_baseURL(std::move(baseURL))
    {
    }

private:
    QString m_apiKey;
    QString m_model;
    QString m_baseURL;
};
