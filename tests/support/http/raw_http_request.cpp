#include "raw_http_request.h"

#include <QHostAddress>

RawHttpRequest::RawHttpRequest(quint16 port, const QByteArray& method, const QByteArray& path,
                               const QByteArray& body, QObject* parent)
    : QObject(parent)
{
    m_clock.start();
    const QByteArray request = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               + "Content-Type: application/json\r\nContent-Length: "
                               + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    connect(&m_socket, &QTcpSocket::connected, this, [this, request] { m_socket.write(request); });
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        m_received += m_socket.readAll();
        // Done once the announced body is in, whether or not the server closes.
        const qsizetype headEnd = m_received.indexOf("\r\n\r\n");
        const qsizetype at = m_received.toLower().indexOf("content-length:");
        if (headEnd > 0 && at > 0 && at < headEnd) {
            const qsizetype lineEnd = m_received.indexOf("\r\n", at);
            const qint64 length = m_received.mid(at + 15, lineEnd - at - 15).trimmed().toLongLong();
            if (m_received.size() >= headEnd + 4 + length)
                finish();
        }
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, &RawHttpRequest::finish);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            finish();
    });
    m_socket.connectToHost(QHostAddress::LocalHost, port);
}

void RawHttpRequest::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_elapsedNs = m_clock.nsecsElapsed();
    m_socket.abort();
}

int RawHttpRequest::status() const
{
    if (!m_received.startsWith("HTTP/1."))
        return 0;
    return m_received.mid(9, 3).toInt();
}

QByteArray RawHttpRequest::body() const
{
    const qsizetype headEnd = m_received.indexOf("\r\n\r\n");
    return headEnd < 0 ? QByteArray() : m_received.mid(headEnd + 4);
}
