#include "http_connection.h"

#include "byte_budget.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <cstring>

namespace {
// A request line and headers past this are not a client of the relay's.
constexpr qsizetype kMaxHeadBytes = 32 * 1024;
// What the socket may hold unread: a pipelined request waits there, not in memory of ours.
constexpr qint64 kReadBufferBytes = 64 * 1024;
// How long a turned-away client may go on sending before the connection is closed: long
// enough for it to finish its upload and read the answer rather than meet a reset.
constexpr int kDrainMs = 1000;
// How long a closing connection may take to hand over the rest of its answer.
constexpr int kCloseMs = 5000;

QByteArray errorBody(const QString& message)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), message}}).toJson(QJsonDocument::Compact);
}

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (c <= ' ' || c >= 0x7f || std::strchr("()<>@,;:\\\"/[]?={}", c))
            return false;
    return true;
}

bool hasToken(const QByteArray& list, const QByteArray& token)
{
    for (const QByteArray& item : list.split(','))
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, const HttpLimits& limits, ByteBudget& bodyBudget,
                               QObject* parent)
    : QObject(parent), m_socket(socket), m_limits(limits), m_bodyBudget(bodyBudget),
      m_client(socket->peerAddress().toString())
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(kReadBufferBytes);
    // A streamed answer's small events go out as they are written, not held for an ACK.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &HttpConnection::timedOut);
    connect(m_socket, &QIODevice::readyRead, this, &HttpConnection::readMore);
    connect(m_socket, &QIODevice::bytesWritten, this, &HttpConnection::readMore);
    connect(m_socket, &QAbstractSocket::disconnected, this, &HttpConnection::close);
    waitFor(State::head, m_limits.headerTimeout);
}

HttpConnection::~HttpConnection() { releaseBody(); }

QByteArray HttpConnection::reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status";
    }
}

void HttpConnection::waitFor(State state, std::chrono::milliseconds limit)
{
    m_state = state;
    m_deadline.start(limit);
}

void HttpConnection::readMore()
{
    switch (m_state) {
    case State::draining:
    case State::closing:
        m_socket->skip(m_socket->bytesAvailable());
        return;
    case State::busy:
    case State::gone:
        return;
    case State::idle:
    case State::head:
    case State::body:
        break;
    }
    // A client that sends requests without reading the answers waits for them to go out.
    if (m_socket->bytesToWrite() > kReadBufferBytes)
        return;
    if (m_state != State::body)
        m_buffer += m_socket->readAll();
    if (m_state == State::idle && !m_buffer.isEmpty())
        waitFor(State::head, m_limits.headerTimeout);
    if (m_state == State::head) {
        // Empty lines before a request line are allowed and skipped.
        while (m_buffer.startsWith("\r\n"))
            m_buffer.remove(0, 2);
        const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
        if (headEnd > kMaxHeadBytes || (headEnd < 0 && m_buffer.size() > kMaxHeadBytes)) {
            refuse(431, QStringLiteral("The request's headers are larger than %1 bytes").arg(kMaxHeadBytes),
                   QStringLiteral("headers too large"));
            return;
        }
        if (headEnd < 0 || !parseHead(headEnd))
            return;
        m_buffer.remove(0, headEnd + 4);
        waitFor(State::body, m_limits.bodyTimeout);
        m_request.body = m_buffer.left(m_bodyLength);
        m_buffer.remove(0, m_request.body.size());
    }
    if (m_state != State::body)
        return;
    const qint64 missing = m_bodyLength - m_request.body.size();
    if (missing > 0)
        m_request.body += m_socket->read(missing);
    if (m_request.body.size() == m_bodyLength)
        bodyComplete();
}

bool HttpConnection::parseHead(qsizetype headEnd)
{
    QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
    for (QByteArray& line : lines)
        line.chop(line.endsWith('\r') ? 1 : 0);
    const QList<QByteArray> requestLine = lines.takeFirst().split(' ');
    const QString malformed = QStringLiteral("Malformed request");
    if (requestLine.size() != 3 || !isToken(requestLine[0]) || !requestLine[1].startsWith('/')
        || (requestLine[2] != "HTTP/1.1" && requestLine[2] != "HTTP/1.0")) {
        refuse(400, malformed, QStringLiteral("malformed request"));
        return false;
    }
    m_request.method = requestLine[0];
    m_request.path = requestLine[1].split('?').first();
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).toLower();
        if (colon <= 0 || !isToken(name)) {
            refuse(400, malformed, QStringLiteral("malformed request"));
            return false;
        }
        const QByteArray value = line.mid(colon + 1).trimmed();
        const auto known = m_request.headers.constFind(name);
        if (known != m_request.headers.cend() && name == "content-length" && *known != value) {
            refuse(400, malformed, QStringLiteral("malformed request"));
            return false;
        }
        m_request.headers.insert(name, known == m_request.headers.cend() || name == "content-length"
                                           ? value : *known + ", " + value);
    }
    m_keepAlive = requestLine[2] == "HTTP/1.1" && !hasToken(m_request.headers.value("connection"), "close");

    if (m_request.headers.contains("transfer-encoding")) {
        refuse(411, QStringLiteral("The relay takes request bodies with a Content-Length only"),
               QStringLiteral("chunked request"));
        return false;
    }
    const QByteArray length = m_request.headers.value("content-length", "0");
    bool ok = length.size() <= 18;
    m_bodyLength = ok ? length.toLongLong(&ok) : 0;
    if (!ok || m_bodyLength < 0 || length.startsWith('+')) {
        refuse(400, malformed, QStringLiteral("malformed request"));
        return false;
    }
    if (m_bodyLength > m_limits.maxBodyBytes) {
        refuse(413, QStringLiteral("The request is larger than %1 bytes").arg(m_limits.maxBodyBytes),
               QStringLiteral("request too large"));
        return false;
    }
    if (!m_bodyBudget.take(m_bodyLength)) {
        refuse(503, QStringLiteral("The relay is busy; try again shortly"),
               QStringLiteral("body budget spent"));
        return false;
    }
    m_budgetTaken = m_bodyLength;
    if (m_bodyLength > 0 && hasToken(m_request.headers.value("expect"), "100-continue"))
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    return true;
}

void HttpConnection::bodyComplete()
{
    m_state = State::busy;
    m_deadline.stop();
    m_request.client = m_client;
    const HttpRequest request = std::exchange(m_request, {});
    QPointer<HttpConnection> self(this);
    // The handler takes what it needs before it returns; the body's bytes are then let go.
    emit requestReceived(this, request);
    if (self)
        releaseBody();
}

void HttpConnection::releaseBody()
{
    m_bodyBudget.giveBack(std::exchange(m_budgetTaken, 0));
}

void HttpConnection::writeHead(int status, const QByteArray& contentType, const QByteArray& framing)
{
    const bool closing = !m_keepAlive || m_closeAfterAnswer;
    m_socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status)
                     + "\r\nContent-Type: " + contentType + "\r\n" + framing
                     + (closing ? "Connection: close\r\n\r\n" : "\r\n"));
}

void HttpConnection::respond(int status, const QByteArray& contentType, const QByteArray& body)
{
    if (m_state != State::busy)
        return;
    writeHead(status, contentType, "Content-Length: " + QByteArray::number(body.size()) + "\r\n");
    m_socket->write(body);
    answerEnded();
}

void HttpConnection::beginStream(int status, const QByteArray& contentType)
{
    if (m_state != State::busy)
        return;
    m_chunked = m_keepAlive && !m_closeAfterAnswer;
    // A proxy in front must pass each piece on as it comes rather than gather the answer.
    writeHead(status, contentType,
              QByteArray("Cache-Control: no-cache\r\nX-Accel-Buffering: no\r\n")
                  + (m_chunked ? "Transfer-Encoding: chunked\r\n" : ""));
    if (!m_chunked)
        m_keepAlive = false;
}

void HttpConnection::writeStream(const QByteArray& bytes)
{
    if (m_state != State::busy || bytes.isEmpty())
        return;
    if (m_chunked)
        m_socket->write(QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n");
    else
        m_socket->write(bytes);
}

void HttpConnection::endStream()
{
    if (m_state != State::busy)
        return;
    if (m_chunked)
        m_socket->write("0\r\n\r\n");
    m_chunked = false;
    answerEnded();
}

void HttpConnection::answerEnded()
{
    if (m_refused) {
        // Read on until the client is done sending, so it gets the answer, not a reset.
        m_socket->skip(m_socket->bytesAvailable());
        waitFor(State::draining, std::chrono::milliseconds(kDrainMs));
        return;
    }
    if (!m_keepAlive || m_closeAfterAnswer) {
        closeGently();
        return;
    }
    waitFor(State::idle, m_limits.idleTimeout);
    // A request that came in behind this one is read now, outside the answering call.
    QMetaObject::invokeMethod(this, &HttpConnection::readMore, Qt::QueuedConnection);
}

void HttpConnection::refuse(int status, const QString& message, const QString& note)
{
    emit refused(m_client, requestName(), status, note);
    releaseBody();
    m_request = {};
    m_buffer.clear();
    m_closeAfterAnswer = true;
    m_refused = true;
    m_state = State::busy;
    respond(status, "application/json", errorBody(message));
}

void HttpConnection::closeGently()
{
    waitFor(State::closing, std::chrono::milliseconds(kCloseMs));
    m_socket->disconnectFromHost();
}

void HttpConnection::timedOut()
{
    switch (m_state) {
    case State::head:
    case State::body: {
        const bool inHead = m_state == State::head;
        const auto limit = inHead ? m_limits.headerTimeout : m_limits.bodyTimeout;
        refuse(408, QStringLiteral("The request did not arrive within %1 s").arg(double(limit.count()) / 1000.0),
               inHead ? QStringLiteral("header time-out") : QStringLiteral("body time-out"));
        return;
    }
    case State::draining:
        closeGently();
        return;
    case State::idle:
    case State::closing:
        close();
        return;
    case State::busy:
    case State::gone:
        return;
    }
}

void HttpConnection::finishAndClose()
{
    m_closeAfterAnswer = true;
    if (m_state == State::idle || m_state == State::head || m_state == State::body)
        close();
}

void HttpConnection::close()
{
    if (m_state == State::gone)
        return;
    m_state = State::gone;
    m_deadline.stop();
    releaseBody();
    m_socket->abort();
    emit closed(this);
    deleteLater();
}

QString HttpConnection::requestName() const
{
    if (m_request.method.isEmpty())
        return QStringLiteral("-");
    return QString::fromLatin1(m_request.method + ' ' + m_request.path.left(100));
}
