#pragma once

#include "ai_service.h"
#include "api_key_store.h"
#include "records.h"

#include <chrono>

// A run of a keyed provider whose key is in the keyring: reads the key when the run
// starts, then hands over to the provider's client. The read and the request share the
// provider's time-out, so an unlock prompt left open never holds a run longer.
class StoredKeyService : public AIService {
public:
    StoredKeyService(AppSettings settings, ApiKeyStore& keys, std::chrono::milliseconds timeout);
    QCoro::Task<QString> processText(QString prompt, QString text) override;

private:
    AppSettings m_settings;
    ApiKeyStore& m_keys;
    std::chrono::milliseconds m_timeout;
};
