#include "http_json_client.h"

#include "network_failure.h"
#include "request_canceller.h"

#include "ai_error.h"

#include <algorithm>
#include <QCoreApplication>
#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <cstring>
#include <exception>
#include <memory>

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// The request body, readable once. Qt sends a request again by itself when a connection
// drops before the answer, by rewinding the body; this one cannot be rewound, so a text the
// server may already have seen never goes out a second time.
class OneShotBody : public QIODevice {
public:
    explicit OneShotBody(QByteArray bytes) : m_bytes(std::move(bytes)) { open(ReadOnly); }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override
    {
        return m_bytes.size() - m_position + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min(maxSize, qint64(m_bytes.size()) - m_position);
        std::memcpy(data, m_bytes.constData() + m_position, size_t(count));
        m_position += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_position = 0;
};

// What the reply's handlers learn while it runs. On the heap: they may fire after the
// coroutine is done with the reply.
struct Exchange {
    // Why reading ended early, when it did.
    enum class Stop { none, cancelled, tooLarge, failed, streamEnded };
    QByteArray body;
    qint64 received = 0;
    bool streamed = false; // the body goes to the stream sink
    bool timedOut = false;
    Stop stop = Stop::none;
    std::exception_ptr failure; // what the stream sink threw
};

// Qt hands the body over in pieces of at most this size.
constexpr qint64 readChunkBytes = 256 * 1024;

bool isEventStream(const QString& contentType)
{
    const QString type = contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    return type == QLatin1String("text/event-stream") || type.endsWith(QLatin1String("ndjson"));
}

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

QNetworkRequest makeRequest(QUrl url, const HttpHeaders& headers)
{
    QNetworkRequest request;
    // Credentials written into the address go out with this one request, not through
    // Qt's challenge-and-resend round, which would send the text twice.
    if (!url.userInfo().isEmpty()) {
        const QString credentials = url.userName(QUrl::FullyDecoded) + QLatin1Char(':')
                                    + url.password(QUrl::FullyDecoded);
        request.setRawHeader("Authorization", "Basic " + credentials.toUtf8().toBase64());
        url.setUserInfo(QString());
    }
    request.setUrl(url);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    // A redirect would carry the key (and the text) to wherever the server points.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // HTTP/2 restarts streams on its own; one plain HTTP/1.1 exchange per request.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // A fresh connection each time: a kept-alive one the server has just closed would make
    // Qt want to send again, which the one-shot body refuses, failing a healthy request.
    request.setRawHeader("Connection", "close");
    return request;
}

} // namespace

namespace {
constexpr char kInFlight[] = "tovalinInFlight";
// Qt opens at most this many connections to one host per manager and queues the rest.
constexpr int kConnectionsPerManager = 6;

// Counts a request against its manager for as long as it runs.
class InFlight {
public:
    explicit InFlight(QNetworkAccessManager* manager) : m_manager(manager) { add(1); }
    ~InFlight() { add(-1); }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

private:
    void add(int n)
    {
        if (m_manager)
            m_manager->setProperty(kInFlight, m_manager->property(kInFlight).toInt() + n);
    }
    QPointer<QNetworkAccessManager> m_manager;
};
} // namespace

QNetworkAccessManager& HttpJsonClient::networkAccessManager()
{
    // One manager serves the app; a relay with many requests in flight to one upstream
    // gets another for each further six, so none waits in Qt's queue.
    static QList<QPointer<QNetworkAccessManager>> managers;
    managers.removeAll(nullptr);
    for (const auto& manager : managers)
        if (manager->property(kInFlight).toInt() < kConnectionsPerManager)
            return *manager;
    managers.append(new QNetworkAccessManager(QCoreApplication::instance()));
    return *managers.last();
}

QCoro::Task<HttpReply> HttpJsonClient::post(QUrl url, HttpHeaders headers, QByteArray body,
                                            std::chrono::milliseconds timeout, Options options)
{
    QNetworkRequest request = makeRequest(std::move(url), headers);
    request.setRawHeader("Content-Type", "application/json");
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    // The body is read from the one-shot device as it goes out, not buffered for a resend.
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    auto* upload = new OneShotBody(std::move(body));
    QNetworkReply* sent = networkAccessManager().post(request, upload);
    upload->setParent(sent);
    co_return co_await finish(sent, timeout, std::move(options));
}

QCoro::Task<HttpReply> HttpJsonClient::get(QUrl url, std::chrono::milliseconds timeout,
                                           HttpHeaders headers)
{
    co_return co_await finish(networkAccessManager().get(makeRequest(std::move(url), headers)),
                              timeout, Options{});
}

QCoro::Task<HttpReply> HttpJsonClient::finish(QNetworkReply* sent,
                                              std::chrono::milliseconds timeout, Options options)
{
    std::unique_ptr<QNetworkReply, DeleteLater> reply(sent);
    const InFlight counted(sent->manager());
    auto exchange = std::make_shared<Exchange>();
    QNetworkReply* raw = reply.get();
    // Without a read buffer limit Qt's network thread reads the socket as fast as it can and
    // queues everything for this thread, so a fast server could fill memory before the cap
    // below is ever checked. The limit only reaches Qt's reader once the request has started,
    // which happens in a queued call: set it after that one.
    QMetaObject::invokeMethod(
        raw, [raw] { raw->setReadBufferSize(readChunkBytes); }, Qt::QueuedConnection);
    // Qt's own transfer time-out restarts with every byte; this one ends the exchange.
    QTimer::singleShot(timeout, raw, [exchange, raw] {
        exchange->timedOut = true;
        raw->abort();
    });
    // Any reason to stop reading: the body kept so far is dropped and the connection closed.
    const auto stop = [exchange, raw](Exchange::Stop why) {
        if (exchange->stop != Exchange::Stop::none)
            return;
        exchange->stop = why;
        exchange->body = QByteArray(); // give the memory back now
        raw->abort();
    };
    if (options.canceller) {
        QObject::connect(options.canceller.get(), &RequestCanceller::cancelled, raw,
                         [stop] { stop(Exchange::Stop::cancelled); });
        if (options.canceller->isCancelled())
            stop(Exchange::Stop::cancelled);
    }
    // Read as it arrives and stop at the cap, however the body is framed: a body announced
    // or grown past it is not kept.
    const auto drain = [exchange, raw, stop, sink = options.streamSink] {
        if (exchange->stop != Exchange::Stop::none || !raw->isOpen())
            return;
        // What is there, never more than the cap leaves: read(n) reserves n bytes up front.
        const QByteArray piece = raw->read(std::min(raw->bytesAvailable(), maxReplyBytes + 1 - exchange->received));
        exchange->received += piece.size();
        if (exchange->received > maxReplyBytes)
            return stop(Exchange::Stop::tooLarge);
        if (!exchange->streamed) {
            exchange->body += piece;
            return;
        }
        try {
            if (!piece.isEmpty() && sink(piece))
                stop(Exchange::Stop::streamEnded); // what follows the last event is not needed
        } catch (...) {
            exchange->failure = std::current_exception();
            stop(Exchange::Stop::failed);
        }
    };
    QObject::connect(raw, &QNetworkReply::metaDataChanged, raw, [raw, stop, exchange,
                                                                 streams = bool(options.streamSink)] {
        if (raw->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxReplyBytes)
            return stop(Exchange::Stop::tooLarge);
        exchange->streamed =
            streams && raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200
            && isEventStream(raw->header(QNetworkRequest::ContentTypeHeader).toString());
    });
    QObject::connect(raw, &QIODevice::readyRead, raw, drain);
    co_await raw;
    drain();

    switch (exchange->stop) {
    case Exchange::Stop::cancelled: throw RunCancelled();
    case Exchange::Stop::failed: std::rethrow_exception(exchange->failure);
    case Exchange::Stop::tooLarge:
        throw NetworkFailure(QNetworkReply::UnknownContentError,
                             QStringLiteral("The reply is larger than %1 MiB")
                                 .arg(maxReplyBytes / (1024 * 1024)));
    case Exchange::Stop::streamEnded: co_return HttpReply{200, {}, true};
    case Exchange::Stop::none: break;
    }
    if (exchange->timedOut)
        throw NetworkFailure(QNetworkReply::TimeoutError,
                             describe(QNetworkReply::TimeoutError, QString()));
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isTransportFailure(raw->error(), status.isValid()))
        throw NetworkFailure(raw->error(), describe(raw->error(), raw->errorString()));
    const QVariant target = raw->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (target.isValid())
        throw NetworkFailure(QNetworkReply::InsecureRedirectError,
                             QStringLiteral("The server redirected the request to %1; "
                                            "redirects are not followed")
                                 .arg(raw->url().resolved(target.toUrl()).toString(
                                     QUrl::RemoveUserInfo)));

    HttpReply result;
    if (status.isValid())
        result.status = status.toInt();
    result.body = std::move(exchange->body);
    result.streamed = exchange->streamed;
    co_return result;
}

QString HttpJsonClient::describe(QNetworkReply::NetworkError code, const QString& fallback)
{
    switch (code) {
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("Connection refused");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("The server closed the connection unexpectedly");
    case QNetworkReply::HostNotFoundError: return QStringLiteral("Host not found");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: return QStringLiteral("The request timed out");
    // Qt wanted to send the request again: the connection dropped before an answer.
    case QNetworkReply::ContentReSendError:
        return QStringLiteral("The server closed the connection before answering");
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
