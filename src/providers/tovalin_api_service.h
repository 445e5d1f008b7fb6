#pragma once

#include "provider_service.h"

// The product's own relay: no key, prompt and text sent apart. Transport failures and
// unreadable answers reach the caller as TransportError, not wrapped.
class TovalinAPIService final : public ProviderService {
public:
    // The relay address this build was configured with.
    static QString defaultBaseURL();

    TovalinAPIService(QString baseURL, QString model,
                      std::chrono::milliseconds timeout = defaultTimeout);

    const QString& baseURL() const { return m_baseURL; }
    const QString& model() const { return m_model; }

protected:
    Outgoing prepare(const QString& prompt, const QString& text) const override;

private:
    QString m_baseURL;
    QString m_model;
};
