#include "http_json_client.h"

#include "network_failure.h"

#include <QCoreApplication>
#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <memory>

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// Qt reports HTTP error statuses as reply errors too; those are answers, not failures.
// Only errors below HTTP (or a broken reply) count when a status line did arrive.
bool isTransportFailure(QNetworkReply::NetworkError code, bool hasStatus)
{
    if (code == QNetworkReply::NoError)
        return false;
    if (!hasStatus)
        return true;
    return (code > QNetworkReply::NoError && code <= QNetworkReply::UnknownNetworkError)
           || code == QNetworkReply::ProtocolFailure;
}

} // namespace

QNetworkAccessManager& HttpJsonClient::networkAccessManager()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return *manager;
}

QCoro::Task<HttpReply> HttpJsonClient::post(QUrl url, HttpHeaders headers, QByteArray body,
                                            std::chrono::milliseconds timeout)
{
    QNetworkRequest request(url);
    request.setRawHeader("Content-Type", "application/json");
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    request.setTransferTimeout(int(timeout.count()));
    co_return co_await finish(networkAccessManager().post(request, body));
}

QCoro::Task<HttpReply> HttpJsonClient::get(QUrl url, std::chrono::milliseconds timeout)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(timeout.count()));
    co_return co_await finish(networkAccessManager().get(request));
}

QCoro::Task<HttpReply> HttpJsonClient::finish(QNetworkReply* sent)
{
    std::unique_ptr<QNetworkReply, DeleteLater> reply(sent);
    co_await reply.get();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isTransportFailure(reply->error(), status.isValid()))
        throw NetworkFailure(reply->error(), describe(reply->error(), reply->errorString()));

    HttpReply result;
    if (status.isValid())
        result.status = status.toInt();
    result.body = reply->readAll();
    co_return result;
}

QString HttpJsonClient::describe(QNetworkReply::NetworkError code, const QString& fallback)
{
    switch (code) {
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("Connection refused");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("The server closed the connection unexpectedly");
    case QNetworkReply::HostNotFoundError: return QStringLiteral("Host not found");
    // The transfer time-out is the only thing that aborts a request.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: return QStringLiteral("The request timed out");
    case QNetworkReply::SslHandshakeFailedError: return QStringLiteral("TLS handshake failed");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("The network is not available");
    case QNetworkReply::TooManyRedirectsError: return QStringLiteral("Too many redirects");
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("Redirected to an insecure address");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return QStringLiteral("Could not connect to the proxy");
    case QNetworkReply::ProxyNotFoundError: return QStringLiteral("Proxy not found");
    case QNetworkReply::ProxyTimeoutError: return QStringLiteral("The proxy timed out");
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("The proxy requires authentication");
    case QNetworkReply::ProtocolUnknownError: return QStringLiteral("Unsupported URL scheme");
    case QNetworkReply::ProtocolFailure: return QStringLiteral("The server sent a malformed reply");
    default: return fallback.isEmpty() ? QStringLiteral("Unknown network error") : fallback;
    }
}
