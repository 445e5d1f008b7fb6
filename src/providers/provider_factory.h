#pragma once

#include "ai_service.h"
#include "records.h"

#include <memory>

// A fresh client for settings.aiProvider with settings.selectedModel and that provider's
// key or host. Keys are not checked here; the client does that when it runs.
std::unique_ptr<AIService> makeAIService(const AppSettings& settings);
