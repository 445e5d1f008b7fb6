#pragma once

#include "key_redactor.h"
#include "rate_limiter.h"
#include "relay_config.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <optional>

class HttpConnection;
class HttpServer;
struct HttpRequest;

// Answers the built-in client's POST /chat by asking the configured upstream through the
// provider factory, every admitted request at once, never blocking the event loop.
// Stateless between requests, so several can run behind a load balancer.
class RelayServer : public QObject {
    Q_OBJECT
public:
    explicit RelayServer(RelayConfig config, QObject* parent = nullptr);

    // Starts listening; false (with a console line) when the address cannot be had.
    bool listen();
    quint16 port() const;
    int inFlight() const { return m_inFlight; }

    // Stops taking connections and lets the requests in flight finish; drained() follows.
    void shutDown();

signals:
    void drained();

private:
    struct Answer {
        int status;
        QJsonObject body;
        QString logNote; // why, for the access log; never a text or a key
        bool isSent = false; // already written to the client, as a stream
    };
    struct Chat {
        QString prompt, text, model;
        bool streamed = false;
    };

    void route(HttpConnection* connection, const HttpRequest& request);
    QCoro::Task<> serveChat(QPointer<HttpConnection> connection, QByteArray body, QString client,
                            bool wantsStream);
    // The request's failure before any upstream work, or nothing when it may go on.
    // Fills `chat` from the body.
    std::optional<Answer> admit(const QString& client, qint64 startedMs, Chat& chat, const QByteArray& body);
    // The upstream's answer; a streamed one is written to `connection` as it arrives.
    QCoro::Task<Answer> askUpstream(QPointer<HttpConnection> connection, Chat chat);
    Answer upstreamFailure(const std::exception& error) const;
    void logAccess(const QString& client, const QString& request, int status, const QString& note,
                   qint64 startedMs) const;
    void requestEnded();

    RelayConfig m_config;
    KeyRedactor m_redactor;
    HttpServer* m_http = nullptr;
    RateLimiter m_rateLimiter;
    QElapsedTimer m_clock;
    // Gives the heap back once a burst of requests is over.
    QTimer m_trim;
    int m_inFlight = 0;
    bool m_shuttingDown = false;
};
