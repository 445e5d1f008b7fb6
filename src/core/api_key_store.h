#pragma once

#include "records.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <chrono>

// Where API keys are kept when not in the settings file: the desktop's keyring. The
// settings members stay in the document either way (empty while the keyring holds the
// key), so older versions still read it; a member that is not empty is the newest key.
class ApiKeyStore {
public:
    enum class Location {
        file,       // no keyring answers: the 0600 settings file keeps the keys
        keyring,    // the keyring keeps them
        fileLocked, // the keyring stayed locked: the file keeps them
    };
    struct Lookup {
        enum class Status { found, missing, unreadable } status = Status::missing;
        QString key;
        QString error; // why it could not be read
    };

    virtual ~ApiKeyStore() = default;
    virtual Location location() const = 0;
    // Never longer than `timeout`, an unlock prompt included.
    virtual QCoro::Task<Lookup> read(AIProvider provider, std::chrono::milliseconds timeout) = 0;
    // Keeps `key` for the provider, or forgets it when empty; true once the keyring confirmed.
    virtual QCoro::Task<bool> write(AIProvider provider, QString key) = 0;
};

// The providers that keep a key, in the order they are moved to the keyring.
inline constexpr std::array keyedProviders{AIProvider::openai, AIProvider::deepseek, AIProvider::claude,
                                           AIProvider::gemini, AIProvider::custom};
// The key the settings hold for a provider; empty for the built-in one and Ollama.
QString apiKeyIn(const AppSettings& settings, AIProvider provider);
void setApiKeyIn(AppSettings& settings, AIProvider provider, const QString& key);
