#pragma once

#include "ai_service.h"
#include "api_key_store.h"
#include "records.h"

#include <chrono>
#include <memory>
#include <optional>

// A fresh client for settings.aiProvider with settings.selectedModel and that provider's
// key or host. Keys are not checked here; the client does that when it runs. `timeout`,
// when given, bounds each request instead of the provider's own time-out.
std::unique_ptr<AIService> makeAIService(const AppSettings& settings,
                                         std::optional<std::chrono::milliseconds> timeout = std::nullopt);

// The relay the built-in provider talks to: settings.tovalinBaseURL when set, else the
// address this build was made with; without trailing slashes.
QString relayBaseURL(const AppSettings& settings);

// How long a request to the provider may take in all.
std::chrono::milliseconds providerTimeout(AIProvider provider);

// The client the application runs commands with: a key kept in the keyring is read when
// the run starts (`keys` may be null: the settings hold the keys), and a failure caused by
// the provider's setup comes back as a ProviderFailure.
std::unique_ptr<AIService> makeRunService(const AppSettings& settings, ApiKeyStore* keys);
