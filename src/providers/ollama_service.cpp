#include "ollama_service.h"

#include "ai_error.h"
#include "console.h"
#include "strict_url.h"

namespace {

ReplyRules ollamaRules(const QString& host)
{
    ReplyRules rules;
    rules.errorShape = ReplyRules::ErrorShape::errorString;
    rules.statusCodeHint = QStringLiteral(". Make sure Ollama is running.");
    rules.answerPath = {QStringLiteral("message"), QStringLiteral("content")};
    // One JSON object a line, each with the next piece; the last says "done": true.
    rules.stream.jsonLines = true;
    rules.stream.textPath = rules.answerPath;
    rules.stream.endWhen = JsonTest{{QStringLiteral("done")}, true};
    // A password in the host is the user's secret, not part of the hint.
    rules.connectionRefusedMessage =
        QStringLiteral("Cannot connect to Ollama. Make sure Ollama is running on ")
        + Console::redactUserInfo(host);
    return rules;
}

} // namespace

OllamaService::OllamaService(QString host, QString model, std::chrono::milliseconds timeout)
    : ProviderService(ollamaRules(host), timeout), m_host(std::move(host)), m_model(std::move(model))
{
}

ProviderService::Outgoing OllamaService::prepare(const QString& prompt, const QString& text) const
{
    Outgoing out;
    out.body = QJsonObject{{QStringLiteral("model"), m_model},
                           {QStringLiteral("messages"), userMessages(prompt, text)},
                           {QStringLiteral("stream"), true}};
    // Joined as text: a host ending in '/' gives "//api/chat", sent as is.
    const auto url = parseStrictHttpUrl(m_host + QStringLiteral("/api/chat"));
    if (!url)
        throw AIError::serverError(QStringLiteral("Invalid Ollama host URL"));
    out.url = *url;
    return out;
}
