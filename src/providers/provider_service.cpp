#include "provider_service.h"

#include "ai_error.h"
#include "network_failure.h"
#include "strict_url.h"

#include <QJsonDocument>

ProviderService::ProviderService(ReplyRules rules, std::chrono::milliseconds timeout)
    : m_rules(std::move(rules)), m_timeout(timeout)
{
}

QCoro::Task<QString> ProviderService::processText(QString prompt, QString text)
{
    const Outgoing request = prepare(prompt, text);
    const QByteArray body = QJsonDocument(request.body).toJson(QJsonDocument::Compact);
    // Copies: nothing below touches the client once the request is on its way.
    const ReplyRules rules = m_rules;
    const auto timeout = m_timeout;

    if (!rules.wrapForeignErrors) {
        const HttpReply reply = co_await HttpJsonClient::post(request.url, request.headers, body,
                                                              timeout);
        co_return readAnswer(rules, reply.status, reply.body);
    }

    try {
        const HttpReply reply = co_await HttpJsonClient::post(request.url, request.headers, body,
                                                              timeout);
        co_return readAnswer(rules, reply.status, reply.body);
    } catch (const AIError&) {
        throw;
    } catch (const NetworkFailure& failure) {
        if (rules.connectionRefusedMessage
            && failure.code() == QNetworkReply::ConnectionRefusedError)
            throw AIError::serverError(*rules.connectionRefusedMessage);
        throw AIError::networkError(failure.description());
    } catch (const TransportError& error) {
        throw AIError::networkError(error.description());
    } catch (const std::exception& error) {
        throw AIError::networkError(QString::fromUtf8(error.what()));
    }
}

void ProviderService::requireKey(const QString& apiKey)
{
    if (apiKey.isEmpty())
        throw AIError::invalidAPIKey();
}

QJsonArray ProviderService::userMessages(const QString& prompt, const QString& text)
{
    return QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                  {QStringLiteral("content"), composeUserMessage(prompt, text)}}};
}

QUrl ProviderService::endpointUrl(const QString& text)
{
    auto url = parseStrictHttpUrl(text);
    if (!url)
        throw AIError::invalidResponse();
    return *url;
}
