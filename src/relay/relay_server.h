#pragma once

#include "rate_limiter.h"
#include "relay_config.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QHttpServer>
#include <QJsonObject>
#include <QObject>

class BoundedTcpServer;

// Answers the built-in client's POST /chat by asking the configured upstream through the
// provider factory, one request at a time per await, never blocking the event loop.
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
    };

    QCoro::Task<> serveChat(QByteArray body, QString client, QHttpServerResponder responder);
    QCoro::Task<Answer> askUpstream(QString prompt, QString text, QString model);
    Answer upstreamFailure(const std::exception& error) const;
    void logAccess(const QString& client, const QString& request, int status, const QString& note,
                   qint64 startedMs) const;

    RelayConfig m_config;
    QHttpServer m_http;
    BoundedTcpServer* m_tcp = nullptr;
    RateLimiter m_rateLimiter;
    QElapsedTimer m_clock;
    int m_inFlight = 0;
    bool m_shuttingDown = false;
};
