#pragma once

#include "byte_budget.h"
#include "http_connection.h"
#include "http_limits.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTcpServer>
#include <functional>

// The relay's HTTP/1.1 server: takes connections up to HttpLimits::maxConnections, hands
// each request to the handler, and keeps the limits that stop a client from holding the
// relay's descriptors or memory.
class HttpServer : public QTcpServer {
    Q_OBJECT
public:
    // Called on the GUI thread for each request; answers through the connection, now or later
    // (the connection may be gone by then: hold it in a QPointer).
    using Handler = std::function<void(HttpConnection*, const HttpRequest&)>;

    HttpServer(const HttpLimits& limits, Handler handler, QObject* parent = nullptr);

    int openConnections() const { return int(m_connections.size()); }
    // Stops listening; waiting connections close now, busy ones once answered; allClosed()
    // follows the last.
    void stop();

signals:
    // A request or connection turned away before the handler saw it, for the access log.
    void refused(const QString& client, const QString& request, int status, const QString& note);
    void allClosed();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void turnAway(QTcpSocket* socket);

    HttpLimits m_limits;
    ByteBudget m_bodyBudget;
    Handler m_handler;
    QSet<HttpConnection*> m_connections;
    int m_turningAway = 0;
    QElapsedTimer m_lastTurnedAwayLine;
    int m_turnedAwayQuietly = 0;
};
