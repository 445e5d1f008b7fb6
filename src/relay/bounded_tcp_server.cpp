#include "bounded_tcp_server.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr char kReceived[] = "tovalinReceived";
constexpr char kRefused[] = "tovalinRefused";
// Room for the request line and headers on top of the body.
constexpr qint64 kHeaderAllowance = 64 * 1024;
// How long a refused client may go on sending before the connection is closed: long enough
// for it to finish its upload and read the 413 rather than meet a reset connection.
constexpr int kDrainMs = 1000;
} // namespace

BoundedTcpServer::BoundedTcpServer(qint64 maxRequestBytes, QObject* parent)
    : QTcpServer(parent), m_maxRequestBytes(maxRequestBytes + kHeaderAllowance)
{
}

void BoundedTcpServer::requestSeen(QTcpSocket* socket)
{
    if (socket)
        socket->setProperty(kReceived, qint64(0));
}

void BoundedTcpServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Connected before the HTTP server's own handler, so this one counts each arrival
    // while it is still unread.
    connect(socket, &QIODevice::readyRead, this, [this, socket] {
        if (socket->property(kRefused).toBool())
            return;
        const qint64 received = socket->property(kReceived).toLongLong() + socket->bytesAvailable();
        socket->setProperty(kReceived, received);
        if (received > m_maxRequestBytes)
            refuse(socket);
    });
    addPendingConnection(socket);
}

void BoundedTcpServer::refuse(QTcpSocket* socket)
{
    socket->setProperty(kRefused, true);
    // The HTTP server's handler gets nothing more from this connection.
    if (parent())
        disconnect(socket, &QIODevice::readyRead, parent(), nullptr);
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->readAll();
    connect(socket, &QIODevice::readyRead, socket, [socket] { socket->readAll(); });

    const QByteArray body = QJsonDocument(QJsonObject{
        {QStringLiteral("error"), QStringLiteral("The request is larger than %1 bytes")
                                      .arg(m_maxRequestBytes - kHeaderAllowance)}}).toJson(QJsonDocument::Compact);
    socket->write("HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    QTimer::singleShot(kDrainMs, socket, [socket] { socket->disconnectFromHost(); });
    emit oversized(socket->peerAddress());
}
