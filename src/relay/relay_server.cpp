#include "relay_server.h"

#include "ai_error.h"
#include "console.h"
#include "http_json_client.h"
#include "http_connection.h"
#include "http_server.h"
#include "provider_factory.h"

#include <QJsonDocument>
#include <QJsonObject>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

QJsonObject error(const QString& message) { return {{QStringLiteral("error"), message}}; }

QByteArray json(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

bool isTimeout(const QString& description)
{
    return description == HttpJsonClient::describe(QNetworkReply::TimeoutError, QString());
}

QStringList keysOf(const AppSettings& upstream)
{
    return {upstream.openaiApiKey, upstream.claudeApiKey, upstream.deepseekApiKey, upstream.geminiApiKey,
            upstream.customApiKey.value_or(QString())};
}

// The heap is trimmed this long after the last request ended.
constexpr int kTrimAfterMs = 1000;

} // namespace

RelayServer::RelayServer(RelayConfig config, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_redactor(keysOf(m_config.upstream)),
      m_rateLimiter(m_config.rateLimitPerMinute)
{
    m_clock.start();
    m_trim.setSingleShot(true);
    m_trim.setInterval(kTrimAfterMs);
#ifdef __GLIBC__
    // A large body or reply leaves freed pieces all over the heap, which glibc keeps
    // resident until told; once the requests are over they go back.
    connect(&m_trim, &QTimer::timeout, this, [this] {
        if (m_inFlight == 0)
            malloc_trim(0);
    });
#endif
}

bool RelayServer::listen()
{
    m_http = new HttpServer(m_config.limits, [this](HttpConnection* c, const HttpRequest& r) { route(c, r); }, this);
    if (!m_http->listen(m_config.address, m_config.port)) {
        Console::line(QStringLiteral("tovalin-relay: cannot listen on %1: %2")
                          .arg(m_config.listenAddress(), m_http->errorString()));
        return false;
    }
    connect(m_http, &HttpServer::refused, this,
            [this](const QString& client, const QString& request, int status, const QString& note) {
                logAccess(client, request, status, note, m_clock.elapsed());
            });
    m_config.port = m_http->serverPort();
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
    Console::line(QStringLiteral("tovalin-relay stopping: %1 request(s) in flight").arg(m_inFlight));
    // Done once every answer has gone out and its connection is closed.
    if (!m_http) {
        emit drained();
        return;
    }
    connect(m_http, &HttpServer::allClosed, this, &RelayServer::drained);
    m_http->stop();
}

void RelayServer::route(HttpConnection* connection, const HttpRequest& request)
{
    const qint64 started = m_clock.elapsed();
    if (request.path == "/chat" && request.method == "POST") {
        const bool wantsStream = request.headers.value("accept").contains("text/event-stream");
        [[maybe_unused]] QCoro::Task<> run = serveChat(connection, request.body, request.client, wantsStream);
        return;
    }
    const QString name = QString::fromLatin1(request.method + ' ' + request.path.left(100));
    if (request.path == "/health" && request.method == "GET") {
        const int status = m_shuttingDown ? 503 : 200;
        connection->respond(status, "application/json",
                            json({{QStringLiteral("status"), m_shuttingDown ? QStringLiteral("stopping") : QStringLiteral("ok")},
                                  {QStringLiteral("inFlight"), m_inFlight}}));
        logAccess(request.client, name, status, {}, started);
        return;
    }
    connection->respond(404, "application/json",
                        json(error(QStringLiteral("Not found: the relay answers POST /chat and GET /health"))));
    logAccess(request.client, name, 404, {}, started);
}

std::optional<RelayServer::Answer> RelayServer::admit(const QString& client, qint64 startedMs, Chat& chat,
                                                      const QByteArray& body)
{
    if (m_shuttingDown)
        return Answer{503, error(QStringLiteral("The relay is shutting down; try again")), {}};
    if (!m_rateLimiter.allow(client, startedMs))
        return Answer{429, error(AIError::rateLimited().description()), QStringLiteral("rate limit")};
    const QJsonObject request = QJsonDocument::fromJson(body).object();
    for (const char* member : {"prompt", "text"}) {
        if (!request.value(QLatin1String(member)).isString())
            return Answer{400, error(QStringLiteral("The body must be a JSON object with the strings "
                                                    "\"prompt\" and \"text\" (and optionally \"model\")")),
                          QStringLiteral("malformed request")};
    }
    if (m_inFlight >= m_config.maxInFlight)
        return Answer{503, error(QStringLiteral("The relay is busy; try again shortly")),
                      QStringLiteral("too many in flight")};
    chat.prompt = request.value(QStringLiteral("prompt")).toString();
    chat.text = request.value(QStringLiteral("text")).toString();
    chat.model = request.value(QStringLiteral("model")).toString();
    chat.streamed = chat.streamed || request.value(QStringLiteral("stream")).toBool();
    return std::nullopt;
}

QCoro::Task<> RelayServer::serveChat(QPointer<HttpConnection> connection, QByteArray body, QString client,
                                     bool wantsStream)
{
    const qint64 started = m_clock.elapsed();
    const auto finish = [&](const Answer& answer) {
        if (connection && !answer.isSent)
            connection->respond(answer.status, "application/json", json(answer.body));
        logAccess(client, QStringLiteral("POST /chat"), answer.status,
                  connection ? answer.logNote : answer.logNote + QStringLiteral(" (client gone)"), started);
    };

    Chat chat{{}, {}, {}, wantsStream};
    const std::optional<Answer> refusal = admit(client, started, chat, body);
    body = QByteArray();
    if (refusal) {
        finish(*refusal);
        co_return;
    }
    ++m_inFlight;
    const Answer answer = co_await askUpstream(connection, std::move(chat));
    --m_inFlight;
    finish(answer);
    requestEnded();
}

void RelayServer::requestEnded()
{
    m_trim.start();
}

QCoro::Task<RelayServer::Answer> RelayServer::askUpstream(QPointer<HttpConnection> connection, Chat chat)
{
    AppSettings settings = m_config.upstream;
    if (!m_config.isModelFixed)
        settings.selectedModel = chat.model;
    // What the client has of the answer, and whether the stream has begun: until then a
    // failure is answered with its own status.
    QString sent;
    bool started = false;
    const auto event = [&](const QJsonObject& data) {
        if (!started && connection)
            connection->beginStream(200, "text/event-stream");
        started = true;
        if (connection)
            connection->writeStream("data: " + json(data) + "\n\n");
    };
    // Only ever more of the answer goes out; blanks at its end wait, as the answer may
    // end up trimmed of them.
    const auto sendUpTo = [&](const QString& text) {
        if (text.size() > sent.size() && text.startsWith(sent)) {
            event({{QStringLiteral("delta"), text.mid(sent.size())}});
            sent = text;
        }
    };
    AIService::TextSoFar onText;
    if (chat.streamed)
        onText = [&](const QString& soFar) {
            qsizetype end = soFar.size();
            while (end > 0 && soFar.at(end - 1).isSpace())
                --end;
            sendUpTo(soFar.left(end));
        };
    QMetaObject::Connection hangUp;
    try {
        const std::unique_ptr<AIService> service = makeAIService(settings, m_config.timeout);
        // A client that leaves takes its request to the upstream with it.
        if (connection)
            hangUp = connect(connection, &HttpConnection::closed, this, [s = service.get()] { s->cancel(); });
        const QString result = co_await service->streamText(std::move(chat.prompt), std::move(chat.text), onText);
        disconnect(hangUp);
        if (!chat.streamed)
            co_return Answer{200, {{QStringLiteral("result"), result}}, {}};
        sendUpTo(result);
        event({{QStringLiteral("done"), true}});
        if (connection)
            connection->endStream();
        co_return Answer{200, {}, {}, true};
    } catch (const RunCancelled&) {
        co_return Answer{499, {}, QStringLiteral("cancelled"), true};
    } catch (const std::exception& failure) {
        disconnect(hangUp);
        Answer answer = upstreamFailure(failure);
        if (!started)
            co_return answer;
        event({{QStringLiteral("error"), answer.body.value(QStringLiteral("error"))}});
        if (connection)
            connection->endStream();
        co_return Answer{200, {}, answer.logNote + QStringLiteral(" (after the stream began)"), true};
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
    // An upstream may echo the key it was sent; none of it goes on.
    const QString shown = m_redactor.redact(Console::redactUserInfo(detail));
    if (!aiError && !transport)
        return {500, error(QStringLiteral("The relay failed: ") + shown), QStringLiteral("internal error")};
    // The relay's own key was refused: the user can do nothing about it, the operator can.
    const QString message = aiError && aiError->kind() == AIError::Kind::invalidAPIKey
                                ? QStringLiteral("the provider refused the relay's key")
                                : shown;
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
    Console::line(m_redactor.redact(line));
}
