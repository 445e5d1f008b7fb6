#include "diagnosed_service.h"

#include "ai_error.h"
#include "http_json_client.h"
#include "network_failure.h"
#include "provider_factory.h"

#include <QRegularExpression>

namespace {
// Transport failures that mean nothing answers at the address.
constexpr QNetworkReply::NetworkError kUnreachable[] = {
    QNetworkReply::ConnectionRefusedError,   QNetworkReply::HostNotFoundError,
    QNetworkReply::TimeoutError,             QNetworkReply::OperationCanceledError,
    QNetworkReply::RemoteHostClosedError,    QNetworkReply::TemporaryNetworkFailureError,
    QNetworkReply::NetworkSessionFailedError, QNetworkReply::ProxyConnectionRefusedError,
    QNetworkReply::ProxyNotFoundError,       QNetworkReply::ProxyTimeoutError,
};

bool isUnreachable(QNetworkReply::NetworkError code)
{
    return std::find(std::begin(kUnreachable), std::end(kUnreachable), code) != std::end(kUnreachable);
}

// The keyed clients keep only the transport failure's text; it is one of HttpJsonClient's own.
bool describesUnreachable(const QString& text)
{
    return std::any_of(std::begin(kUnreachable), std::end(kUnreachable), [&](QNetworkReply::NetworkError code) {
        return HttpJsonClient::describe(code, QString()) == text;
    });
}

// "model 'x' not found, try pulling it first" (Ollama), "The model `x` does not exist"
// (OpenAI), "models/x is not found" (Gemini), "model: x" with a 404 (Claude).
bool namesMissingModel(const QString& message)
{
    static const QRegularExpression missing(
        QStringLiteral(R"(\bmodels?\b.*\b(not found|does not exist|not exist)|^model: )"),
        QRegularExpression::CaseInsensitiveOption);
    return missing.match(message).hasMatch();
}
} // namespace

DiagnosedService::DiagnosedService(std::unique_ptr<AIService> client, AppSettings settings)
    : m_client(std::move(client)), m_settings(std::move(settings))
{
}

QCoro::Task<QString> DiagnosedService::processText(QString prompt, QString text)
{
    co_return co_await streamText(std::move(prompt), std::move(text), {});
}

QCoro::Task<QString> DiagnosedService::streamText(QString prompt, QString text, TextSoFar onText)
{
    const AppSettings settings = m_settings;
    std::optional<ProviderFailure> diagnosis;
    try {
        if (!onText)
            co_return co_await m_client->processText(std::move(prompt), std::move(text));
        co_return co_await m_client->streamText(std::move(prompt), std::move(text), std::move(onText));
    } catch (const ProviderFailure&) {
        throw;
    } catch (const RunCancelled&) {
        throw; // the user's doing, not the provider's
    } catch (const std::exception& failure) {
        diagnosis = diagnose(failure, settings);
        if (!diagnosis)
            throw;
    }
    throw *diagnosis;
}

std::optional<ProviderFailure> DiagnosedService::diagnose(const std::exception& failure, const AppSettings& settings)
{
    using Reason = ProviderFailure::Reason;
    const QByteArray what(failure.what());
    if (const auto* network = dynamic_cast<const NetworkFailure*>(&failure)) {
        // Only the built-in client lets transport failures through; name the relay it tried.
        if (!isUnreachable(network->code()))
            return std::nullopt;
        return ProviderFailure(Reason::unreachable,
                               QStringLiteral("Cannot reach Tovalin's service at %1: %2")
                                   .arg(relayBaseURL(settings), network->description()),
                               what);
    }
    const auto* error = dynamic_cast<const AIError*>(&failure);
    if (!error)
        return std::nullopt;
    switch (error->kind()) {
    case AIError::Kind::invalidAPIKey: return ProviderFailure(Reason::keyRefused, error->description(), what);
    case AIError::Kind::networkError:
        if (describesUnreachable(error->payload()))
            return ProviderFailure(Reason::unreachable, error->description(), what);
        return std::nullopt;
    case AIError::Kind::serverError:
        if (error->payload().startsWith(QLatin1String("Cannot connect to ")))
            return ProviderFailure(Reason::unreachable, error->description(), what);
        if (namesMissingModel(error->payload()))
            return ProviderFailure(Reason::modelMissing, error->description(), what);
        return std::nullopt;
    case AIError::Kind::invalidResponse:
    case AIError::Kind::rateLimited: return std::nullopt;
    }
    return std::nullopt;
}
