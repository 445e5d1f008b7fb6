#include "fake_http_server.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 529: return "Overloaded";
    default: return "Status";
    }
}

bool hasHeaderIn(const HttpHeaderList& headers, const QByteArray& name)
{
    for (const auto& [n, v] : headers)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Decodes a chunked body starting at `from`; returns the end offset, or -1 when incomplete.
qsizetype decodeChunked(const QByteArray& buffer, qsizetype from, QByteArray& body)
{
    qsizetype pos = from;
    for (;;) {
        const qsizetype lineEnd = buffer.indexOf("\r\n", pos);
        if (lineEnd < 0)
            return -1;
        QByteArray sizeField = buffer.mid(pos, lineEnd - pos);
        if (const qsizetype semicolon = sizeField.indexOf(';'); semicolon >= 0)
            sizeField.truncate(semicolon);
        bool ok = false;
        const qsizetype size = sizeField.trimmed().toLongLong(&ok, 16);
        if (!ok)
            return -1;
        pos = lineEnd + 2;
        if (size == 0) {
            if (buffer.mid(pos, 2) == "\r\n")
                return pos + 2;
            const qsizetype trailersEnd = buffer.indexOf("\r\n\r\n", pos);
            return trailersEnd < 0 ? -1 : trailersEnd + 4;
        }
        if (buffer.size() < pos + size + 2)
            return -1;
        body += buffer.mid(pos, size);
        pos += size + 2;
    }
}

} // namespace

QByteArray RecordedRequest::header(const QByteArray& name) const
{
    for (const auto& [n, v] : headers)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray& name) const { return hasHeaderIn(headers, name); }

QList<QByteArray> RecordedRequest::headerNames() const
{
    QList<QByteArray> names;
    for (const auto& [n, v] : headers)
        names.append(n.toLower());
    return names;
}

QJsonObject RecordedRequest::json() const { return QJsonDocument::fromJson(body).object(); }

ScriptedResponse ScriptedResponse::json(int status, const QByteArray& body)
{
    return text(status, body, "application/json");
}

ScriptedResponse ScriptedResponse::text(int status, const QByteArray& body,
                                        const QByteArray& contentType)
{
    ScriptedResponse r;
    r.status = status;
    r.body = body;
    r.headers.append({"Content-Type", contentType});
    return r;
}

ScriptedResponse ScriptedResponse::silence()
{
    ScriptedResponse r;
    r.neverAnswer = true;
    return r;
}

ScriptedResponse ScriptedResponse::hangUp()
{
    ScriptedResponse r;
    r.closeWithoutAnswer = true;
    return r;
}

FakeHttpServer::FakeHttpServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &FakeHttpServer::onNewConnection);
}

FakeHttpServer::~FakeHttpServer() = default;

bool FakeHttpServer::listen(quint16 port) { return m_server->listen(QHostAddress::LocalHost, port); }

quint16 FakeHttpServer::port() const { return m_server->serverPort(); }

QString FakeHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void FakeHttpServer::enqueue(ScriptedResponse response) { m_queue.append(std::move(response)); }

void FakeHttpServer::setHandler(Handler handler) { m_handler = std::move(handler); }

void FakeHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        m_buffers.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeHttpServer::onReadyRead(QTcpSocket* socket)
{
    if (!m_buffers.contains(socket)) { // already answered or silenced
        socket->readAll();
        return;
    }
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();

    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');

    RecordedRequest request;
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    const qsizetype question = request.target.indexOf('?');
    request.path = question < 0 ? request.target : request.target.left(question);
    request.query = question < 0 ? QByteArray() : request.target.mid(question + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    const qsizetype bodyStart = headEnd + 4;
    if (request.header("Transfer-Encoding").toLower().contains("chunked")) {
        if (decodeChunked(buffer, bodyStart, request.body) < 0)
            return;
    } else {
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < bodyStart + length) {
            if (request.header("Expect").toLower() == "100-continue"
                && buffer.size() == bodyStart && !socket->property("continued").toBool()) {
                socket->setProperty("continued", true);
                socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
            return;
        }
        request.body = buffer.mid(bodyStart, length);
    }

    // One request per connection: every answer closes it.
    m_buffers.remove(socket);
    m_requests.append(request);
    emit requestReceived(request);

    ScriptedResponse response;
    if (!m_queue.isEmpty())
        response = m_queue.takeFirst();
    else if (m_handler)
        response = m_handler(request);
    else
        response = ScriptedResponse::json(404, R"({"error":"no scripted response"})");
    answer(socket, response);
}

void FakeHttpServer::answer(QTcpSocket* socket, const ScriptedResponse& response)
{
    if (response.neverAnswer)
        return;
    if (response.closeWithoutAnswer) {
        socket->abort();
        return;
    }
    if (response.delayMs > 0) {
        ScriptedResponse now = response;
        now.delayMs = 0;
        QTimer::singleShot(response.delayMs, this, [this, socket = QPointer<QTcpSocket>(socket), now] {
            if (socket)
                answer(socket, now);
        });
        return;
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
                     + reasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    if (!hasHeaderIn(response.headers, "Content-Length"))
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += response.body;
    socket->write(out);
    socket->disconnectFromHost();
}
