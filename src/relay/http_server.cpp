#include "http_server.h"

#include "console.h"

#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <unistd.h>

namespace {
// Connections answered 503 past the cap and not yet closed; past this many more are shut
// at once, unanswered.
constexpr int kMaxTurningAway = 64;
constexpr int kTurnAwayDrainMs = 500;
// After a failed accept (out of descriptors, say), Qt stops accepting; it starts again after this.
constexpr int kAcceptRetryMs = 1000;
// Turned-away connections are logged at most once per this, with a count of the rest.
constexpr qint64 kTurnedAwayLineMs = 1000;
constexpr int kMinBacklog = 128;

const QByteArray kTooManyConnections =
    R"({"error":"The relay has too many connections open; try again shortly"})";
} // namespace

HttpServer::HttpServer(const HttpLimits& limits, Handler handler, QObject* parent)
    : QTcpServer(parent), m_limits(limits), m_bodyBudget(limits.bodyBudgetBytes), m_handler(std::move(handler))
{
    // Qt's backlog of 50 drops the connections of a burst past it, and their clients wait a
    // second to try again; the kernel caps this at net.core.somaxconn.
    setListenBacklogSize(std::max(kMinBacklog, limits.maxConnections));
    connect(this, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        Console::line(QStringLiteral("tovalin-relay: cannot take a connection (%1); trying again in 1 s")
                          .arg(errorString()));
        QTimer::singleShot(kAcceptRetryMs, this, [this] {
            if (isListening())
                resumeAccepting();
        });
    });
}

void HttpServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return;
    }
    if (m_connections.size() >= m_limits.maxConnections) {
        turnAway(socket);
        return;
    }
    auto* connection = new HttpConnection(socket, m_limits, m_bodyBudget, this);
    m_connections.insert(connection);
    connect(connection, &HttpConnection::requestReceived, this,
            [this](HttpConnection* c, const HttpRequest& request) { m_handler(c, request); });
    connect(connection, &HttpConnection::refused, this, &HttpServer::refused);
    connect(connection, &HttpConnection::closed, this,
            [this](HttpConnection* c) {
                m_connections.remove(c);
                if (m_connections.isEmpty() && !isListening())
                    emit allClosed();
            });
}

void HttpServer::turnAway(QTcpSocket* socket)
{
    const QString peer = socket->peerAddress().toString();
    if (!m_lastTurnedAwayLine.isValid() || m_lastTurnedAwayLine.elapsed() >= kTurnedAwayLineMs) {
        QString note = QStringLiteral("too many connections (%1 open)").arg(m_connections.size());
        if (m_turnedAwayQuietly > 0)
            note += QStringLiteral(", %1 more turned away since the last line").arg(m_turnedAwayQuietly);
        emit refused(peer, QStringLiteral("-"), 503, note);
        m_lastTurnedAwayLine.start();
        m_turnedAwayQuietly = 0;
    } else {
        ++m_turnedAwayQuietly;
    }
    if (m_turningAway >= kMaxTurningAway) {
        socket->abort();
        delete socket;
        return;
    }
    // Answered, then read for a moment before closing, so the client sees the answer
    // rather than a reset.
    ++m_turningAway;
    socket->setParent(this);
    socket->setReadBufferSize(4096);
    socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\nContent-Length: "
                  + QByteArray::number(kTooManyConnections.size()) + "\r\nConnection: close\r\n\r\n"
                  + kTooManyConnections);
    connect(socket, &QIODevice::readyRead, socket, [socket] { socket->skip(socket->bytesAvailable()); });
    const auto done = [this, socket] {
        if (socket->property("tovalinDone").toBool())
            return;
        socket->setProperty("tovalinDone", true);
        --m_turningAway;
        socket->abort();
        socket->deleteLater();
    };
    connect(socket, &QAbstractSocket::disconnected, this, done);
    QTimer::singleShot(kTurnAwayDrainMs, socket, [socket] { socket->disconnectFromHost(); });
    QTimer::singleShot(2 * kTurnAwayDrainMs, socket, done);
}

void HttpServer::stop()
{
    close();
    for (HttpConnection* connection : QSet(m_connections))
        connection->finishAndClose();
    if (m_connections.isEmpty())
        QMetaObject::invokeMethod(this, &HttpServer::allClosed, Qt::QueuedConnection);
}
