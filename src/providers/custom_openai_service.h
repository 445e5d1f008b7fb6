#pragma once

#include "chat_completions_service.h"

// Any server that speaks the chat-completions protocol (llama.cpp, vLLM, LM Studio, LocalAI,
// gateways). The key is optional: many local servers take none.
class CustomOpenAIService final : public ChatCompletionsService {
public:
    // Local models can be slow to answer, as with Ollama.
    static constexpr std::chrono::milliseconds defaultCustomTimeout{120'000};

    // `serverURL` is the API's base, e.g. "http://127.0.0.1:8080/v1".
    CustomOpenAIService(QString apiKey, QString model, QString serverURL,
                        std::chrono::milliseconds timeout = defaultCustomTimeout);

    const QString& serverURL() const { return m_serverURL; }

    // The base with `path` appended; trailing slashes of the base are dropped.
    static QString endpoint(const QString& serverURL, const QString& path);

protected:
    Outgoing prepare(const QString& prompt, const QString& text) const override;

private:
    QString m_serverURL;
};
