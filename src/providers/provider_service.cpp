#include "provider_service.h"

#include "ai_error.h"
#include "network_failure.h"
#include "request_canceller.h"
#include "stream_decoder.h"
#include "strict_url.h"

#include <QJsonDocument>

ProviderService::ProviderService(ReplyRules rules, std::chrono::milliseconds timeout)
    : m_rules(std::move(rules)), m_timeout(timeout), m_canceller(std::make_shared<RequestCanceller>())
{
}

ProviderService::~ProviderService() = default;

QCoro::Task<QString> ProviderService::processText(QString prompt, QString text)
{
    return streamText(std::move(prompt), std::move(text), {});
}

void ProviderService::cancel() { m_canceller->cancel(); }

namespace {

// One exchange and its answer, streamed or whole; errors as they come.
QCoro::Task<QString> exchange(ProviderService::Outgoing request, ReplyRules rules,
                              std::chrono::milliseconds timeout,
                              std::shared_ptr<RequestCanceller> canceller, AIService::TextSoFar onText)
{
    const QByteArray body = QJsonDocument(request.body).toJson(QJsonDocument::Compact);
    auto decoder = std::make_shared<StreamDecoder>(rules);
    HttpJsonClient::Options options;
    options.canceller = std::move(canceller);
    options.streamSink = [decoder, onText = std::move(onText)](QByteArrayView piece) {
        const QString before = decoder->textSoFar();
        decoder->feed(piece);
        if (onText && decoder->textSoFar().size() != before.size())
            onText(decoder->textSoFar());
        return decoder->isComplete();
    };
    const HttpReply reply = co_await HttpJsonClient::post(request.url, request.headers, body,
                                                          timeout, std::move(options));
    // A server that ignored the stream request answers in one piece, as before.
    co_return reply.streamed ? decoder->answer() : readAnswer(rules, reply.status, reply.body);
}

} // namespace

QCoro::Task<QString> ProviderService::streamText(QString prompt, QString text, TextSoFar onText)
{
    Outgoing request = prepare(prompt, text);
    // Copies: nothing below touches the client once the request is on its way.
    const ReplyRules rules = m_rules;
    const auto timeout = m_timeout;
    const std::shared_ptr<RequestCanceller> canceller = m_canceller;

    if (!rules.wrapForeignErrors)
        co_return co_await exchange(std::move(request), rules, timeout, canceller,
                                    std::move(onText));

    try {
        co_return co_await exchange(std::move(request), rules, timeout, canceller,
                                    std::move(onText));
    } catch (const AIError&) {
        throw;
    } catch (const RunCancelled&) {
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
