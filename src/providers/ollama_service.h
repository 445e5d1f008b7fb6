#pragma once

#include "provider_service.h"

// A local Ollama server's chat method. No key; the host is a user setting.
class OllamaService final : public ProviderService {
public:
    static constexpr std::chrono::milliseconds defaultOllamaTimeout{120'000};

    OllamaService(QString host, QString model,
                  std::chrono::milliseconds timeout = defaultOllamaTimeout);

    const QString& host() const { return m_host; }
    const QString& model() const { return m_model; }

protected:
    Outgoing prepare(const QString& prompt, const QString& text) const override;

private:
    QString m_host;
    QString m_model;
};
