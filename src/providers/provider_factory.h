#pragma once

#include "ai_service.h"
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
