#pragma once

#include "ai_service.h"
#include "api_key_store.h"
#include "records.h"

#include <chrono>
#include <memory>

// A run of a keyed provider whose key is in the keyring: reads the key when the run
// starts, then hands over to the provider's client. The read and the request share the
// provider's time-out, so an unlock prompt left open never holds a run longer.
class StoredKeyService : public AIService {
public:
    StoredKeyService(AppSettings settings, ApiKeyStore& keys, std::chrono::milliseconds timeout);
    QCoro::Task<QString> processText(QString prompt, QString text) override;
    QCoro::Task<QString> streamText(QString prompt, QString text, TextSoFar onText) override;
    void cancel() override;

private:
    std::unique_ptr<AIService> m_client; // once the key is read
    bool m_cancelled = false;
    AppSettings m_settings;
    ApiKeyStore& m_keys;
    std::chrono::milliseconds m_timeout;
};
