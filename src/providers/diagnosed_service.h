#pragma once

#include "ai_service.h"
#include "provider_failure.h"
#include "records.h"

#include <exception>
#include <memory>
#include <optional>

// Runs a provider client and, when it fails because of the provider's setup (it cannot be
// reached, refuses the key, lacks the model), throws that as a ProviderFailure with the
// client's own text, so the user can be sent to the AI settings. Other failures pass
// through unchanged.
class DiagnosedService : public AIService {
public:
    DiagnosedService(std::unique_ptr<AIService> client, AppSettings settings);
    QCoro::Task<QString> processText(QString prompt, QString text) override;
    QCoro::Task<QString> streamText(QString prompt, QString text, TextSoFar onText) override;
    void cancel() override { m_client->cancel(); }

    // What `failure` says about the provider's setup, if anything.
    static std::optional<ProviderFailure> diagnose(const std::exception& failure, const AppSettings& settings);

private:
    std::unique_ptr<AIService> m_client;
    AppSettings m_settings;
};
