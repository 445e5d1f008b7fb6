#include "relay_server.h"

#include "ai_error.h"
#include "bounded_tcp_server.h"
#include "console.h"
#include "http_json_client.h"
#include "provider_factory.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QPointer>
#include <QTcpSocket>

namespace {

using Status = QHttpServerResponder::StatusCode;

QJsonObject error(const QString& message) { return {{QStringLiteral("error"), message}}; }

void respond(QHttpServerResponder& responder, int status, const QJsonObject& body)
{
    const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
    responder.write(bytes, {{"Content-Type", "application/json"}}, Status(status));
    if (QTcpSocket* socket = responder.socket())
        socket->flush();
}

bool isTimeout(const QString& description)
{
    return description == HttpJsonClient::describe(QNetworkReply::TimeoutError, QString());
}

} // namespace

RelayServer::RelayServer(RelayConfig config, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_rateLimiter(m_config.rateLimitPerMinute)
{
    m_clock.start();
    m_http.route(QStringLiteral("/health"), QHttpServerRequest::Method::Get,
                 [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                     const qint64 started = m_clock.elapsed();
                     const int status = m_shuttingDown ? 503 : 200;
                     respond(responder, status,
                             {{QStringLiteral("status"), m_shuttingDown ? QStringLiteral("stopping")
                                                                        : QStringLiteral("ok")},
                              {QStringLiteral("inFlight"), m_inFlight}});
                     logAccess(request.remoteAddress().toString(), QStringLiteral("GET /health"), status,
                               {}, started);
                 });
    m_http.route(QStringLiteral("/chat"), QHttpServerRequest::Method::Post,
                 [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                     BoundedTcpServer::requestSeen(responder.socket());
                     // The request lives only for this call: take what the answer needs.
                     [[maybe_unused]] QCoro::Task<> run =
                         serveChat(request.body(), request.remoteAddress().toString(), std::move(responder));
                 });
    m_http.setMissingHandler([this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        const qint64 started = m_clock.elapsed();
        BoundedTcpServer::requestSeen(responder.socket());
        respond(responder, 404, error(QStringLiteral("Not found: the relay answers POST /chat and GET /health")));
        logAccess(request.remoteAddress().toString(),
                  QStringLiteral("%1 %2").arg(QString::fromLatin1(QMetaEnum::fromType<QHttpServerRequest::Method>()
                                                                       .valueToKey(int(request.method()))).toUpper(),
                                             request.url().path().left(100)),
                  404, {}, started);
    });
}

bool RelayServer::listen()
{
    m_tcp = new BoundedTcpServer(m_config.maxBodyBytes, this);
    if (!m_tcp->listen(m_config.address, m_config.port)) {
        Console::line(QStringLiteral("tovalin-relay: cannot listen on %1: %2")
                          .arg(m_config.listenAddress(), m_tcp->errorString()));
        return false;
    }
    connect(m_tcp, &BoundedTcpServer::oversized, this, [this](const QHostAddress& peer) {
        logAccess(peer.toString(), QStringLiteral("-"), 413, QStringLiteral("request too large"),
                  m_clock.elapsed());
    });
    m_http.bind(m_tcp);
    m_config.port = m_tcp->serverPort();
    Console::line(QStringLiteral("tovalin-relay listening on %1, upstream %2")
                      .arg(m_config.listenAddress(), m_config.upstreamDescription()));
    if (!m_config.address.isLoopback())
        Console::line(QStringLiteral("tovalin-relay: reachable beyond this machine; serve it "
                                     "through a TLS proxy on a network you trust"));
    return true;
}

quint16 RelayServer::port() const { return m_config.port; }

void RelayServer::shutDown()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    if (m_tcp)
        m_tcp->close();
    Console::line(QStringLiteral("tovalin-relay stopping: %1 request(s) in flight").arg(m_inFlight));
    if (m_inFlight == 0)
        emit drained();
}

QCoro::Task<> RelayServer::serveChat(QByteArray body, QString client, QHttpServerResponder responder)
{
    const qint64 started = m_clock.elapsed();
    const QString what = QStringLiteral("POST /chat");
    // The socket goes away with a client that hangs up while the upstream thinks.
    QPointer<QTcpSocket> socket = responder.socket();
    const auto finish = [&](const Answer& answer) {
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            respond(responder, answer.status, answer.body);
        logAccess(client, what, answer.status,
                  socket ? answer.logNote : answer.logNote + QStringLiteral(" (client gone)"), started);
    };

    if (m_shuttingDown) {
        finish({503, error(QStringLiteral("The relay is shutting down; try again")), {}});
        co_return;
    }
    if (!m_rateLimiter.allow(client, started)) {
        finish({429, error(AIError::rateLimited().description()), QStringLiteral("rate limit")});
        co_return;
    }
    if (body.size() > m_config.maxBodyBytes) {
        finish({413, error(QStringLiteral("The request is larger than %1 bytes").arg(m_config.maxBodyBytes)),
                QStringLiteral("request too large")});
        co_return;
    }
    const QJsonObject request = QJsonDocument::fromJson(body).object();
    body = QByteArray();
    for (const char* member : {"prompt", "text"}) {
        if (!request.value(QLatin1String(member)).isString()) {
            finish({400, error(QStringLiteral("The body must be a JSON object with the strings "
                                              "\"prompt\" and \"text\" (and optionally \"model\")")),
                    QStringLiteral("malformed request")});
            co_return;
        }
    }
    if (m_inFlight >= m_config.maxInFlight) {
        finish({503, error(QStringLiteral("The relay is busy; try again shortly")),
                QStringLiteral("too many in flight")});
        co_return;
    }

    ++m_inFlight;
    const Answer answer = co_await askUpstream(request.value(QStringLiteral("prompt")).toString(),
                                               request.value(QStringLiteral("text")).toString(),
                                               request.value(QStringLiteral("model")).toString());
    --m_inFlight;
    finish(answer);
    if (m_shuttingDown && m_inFlight == 0)
        emit drained();
}

QCoro::Task<RelayServer::Answer> RelayServer::askUpstream(QString prompt, QString text, QString model)
{
    AppSettings settings = m_config.upstream;
    if (!m_config.isModelFixed)
        settings.selectedModel = model;
    try {
        const std::unique_ptr<AIService> service = makeAIService(settings, m_config.timeout);
        const QString result = co_await service->processText(std::move(prompt), std::move(text));
        co_return Answer{200, {{QStringLiteral("result"), result}}, {}};
    } catch (const std::exception& failure) {
        co_return upstreamFailure(failure);
    }
}

RelayServer::Answer RelayServer::upstreamFailure(const std::exception& failure) const
{
    const auto* aiError = dynamic_cast<const AIError*>(&failure);
    const auto* transport = dynamic_cast<const TransportError*>(&failure);
    if (aiError && aiError->kind() == AIError::Kind::rateLimited)
        return {429, error(aiError->description()), QStringLiteral("upstream rate limit")};
    const QString detail = aiError ? aiError->payload().isEmpty() ? aiError->description() : aiError->payload()
                           : transport ? transport->description()
                                       : QString::fromUtf8(failure.what());
    const bool timedOut = (aiError && aiError->kind() == AIError::Kind::networkError && isTimeout(detail))
                          || (transport && isTimeout(detail));
    if (timedOut) {
        const QString seconds = QString::number(double(m_config.timeout.count()) / 1000.0);
        return {504, error(QStringLiteral("The relay's provider did not answer within %1 s").arg(seconds)),
                QStringLiteral("upstream time-out")};
    }
    if (!aiError && !transport)
        return {500, error(QStringLiteral("The relay failed: ") + detail), QStringLiteral("internal error")};
    // The relay's own key was refused: the user can do nothing about it, the operator can.
    const QString message = aiError && aiError->kind() == AIError::Kind::invalidAPIKey
                                ? QStringLiteral("the provider refused the relay's key")
                                : Console::redactUserInfo(detail);
    return {502, error(QStringLiteral("The relay's provider failed: ") + message),
            QStringLiteral("upstream: ") + message};
}

void RelayServer::logAccess(const QString& client, const QString& request, int status,
                            const QString& note, qint64 startedMs) const
{
    QString line = QStringLiteral("%1 \"%2\" %3 %4 ms")
                       .arg(client, request)
                       .arg(status)
                       .arg(m_clock.elapsed() - startedMs);
    if (!note.isEmpty())
        line += QStringLiteral(" ") + note;
    Console::line(line);
}
