#include "fake_http_server.h"

#include <QTcpSocket>
#include <QTimer>

FakeHttpServer::FakeHttpServer(Handler handler, quint16 port) : m_handler(std::move(handler))
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket,
                    [this, socket, buffer = QByteArray()]() mutable { read(socket, buffer); });
            ++m_open;
            if (connectionsChanged)
                connectionsChanged(m_open);
            connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                --m_open;
                if (connectionsChanged)
                    connectionsChanged(m_open);
                socket->deleteLater();
            });
        }
    });
    // A burst of clients (the relay's 64 at once) is taken, not dropped and retried.
    setListenBacklogSize(1024);
    listen(QHostAddress::LocalHost, port);
}

QString FakeHttpServer::baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }

void FakeHttpServer::read(QTcpSocket* socket, QByteArray& buffer)
{
    buffer += socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    RecordedRequest request;
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length").toLongLong();
    if (buffer.size() < headEnd + 4 + length)
        return;
    request.body = buffer.mid(headEnd + 4, length);
    buffer.clear();
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    const QList<QByteArray> target = requestLine.value(1).split('?');
    request.path = target.value(0);
    request.query = target.value(1);
    requests.append(request);

    answer(socket, m_handler(request));
}

void FakeHttpServer::answer(QTcpSocket* socket, const ScriptedResponse& response)
{
    using Delivery = ScriptedResponse::Delivery;
    if (response.status == 0)
        return;
    if (response.delayMs > 0) {
        ScriptedResponse now = response;
        now.delayMs = 0;
        QTimer::singleShot(response.delayMs, socket, [socket, now] { answer(socket, now); });
        return;
    }
    if (response.delivery == Delivery::drop) {
        socket->disconnectFromHost();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted\r\n";
    if (!response.location.isEmpty())
        head += "Location: " + response.location + "\r\n";
    const QByteArray type = response.contentType.isEmpty() ? QByteArray() : "Content-Type: " + response.contentType + "\r\n";
    if (response.delivery == Delivery::stream || response.delivery == Delivery::streamCut
        || response.delivery == Delivery::streamHang) {
        socket->write(head + type + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
        sendPieces(socket, response, 0);
        return;
    }
    if (response.delivery == Delivery::flood) {
        socket->write(head + type + "Transfer-Encoding: chunked\r\n\r\n");
        const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
        // Refilled as the client reads, up to the bound, so a client that stops reading
        // stops the flood too.
        auto refill = [socket, chunk, left = response.floodBytes]() mutable {
            while (left > 0 && socket->bytesToWrite() < 4 * chunk.size()) {
                socket->write(chunk);
                left -= 0x10000;
                if (left <= 0)
                    socket->write("0\r\n\r\n");
            }
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, refill);
        refill();
        return;
    }
    if (response.delivery == Delivery::endless) {
        socket->write(head + "Transfer-Encoding: chunked\r\n\r\n");
        // Paced like a fast network, so the client in this same thread keeps up.
        const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, chunk] {
            if (socket->bytesToWrite() < 4 * chunk.size())
                socket->write(chunk);
        });
        timer->start(1);
        return;
    }
    socket->write(head + "Content-Length: " + QByteArray::number(response.body.size())
                  + "\r\nConnection: close\r\n\r\n");
    if (response.delivery == Delivery::whole || response.delivery == Delivery::truncated) {
        socket->write(response.delivery == Delivery::whole ? response.body : response.body.left(response.body.size() / 2));
        socket->disconnectFromHost();
        return;
    }
    auto* timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, body = response.body, sent = 0]() mutable {
        socket->write(body.mid(sent++, 1));
        if (sent >= body.size())
            socket->disconnectFromHost();
    });
    timer->start(100);
}

void FakeHttpServer::sendPieces(QTcpSocket* socket, const ScriptedResponse& response, qsizetype next)
{
    using Delivery = ScriptedResponse::Delivery;
    if (next == response.pieces.size() - 1 && response.holdLast && !response.holdLast()) {
        QTimer::singleShot(20, socket, [socket, response, next] { sendPieces(socket, response, next); });
        return;
    }
    if (next < response.pieces.size()) {
        const QByteArray& piece = response.pieces[next];
        socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
        QTimer::singleShot(response.gapMs, socket, [socket, response, next] { sendPieces(socket, response, next + 1); });
        return;
    }
    if (response.delivery == Delivery::stream) {
        socket->write("0\r\n\r\n");
        socket->disconnectFromHost();
    } else if (response.delivery == Delivery::streamCut) {
        socket->disconnectFromHost();
    }
}
