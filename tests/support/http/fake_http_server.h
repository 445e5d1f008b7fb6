#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>
#include <functional>

// One request as it arrived on the wire.
struct RecordedRequest {
    QByteArray method;
    QByteArray path;
    QByteArray query; // without the '?'
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// The answer to one request. Status 0 keeps the connection open and silent.
struct ScriptedResponse {
    enum class Delivery {
        whole,
        trickle, // one byte of the body every 100 ms
        endless, // a chunked body that never ends
        drop,    // the connection closes without an answer
        truncated, // the connection closes halfway through the announced body
        stream,     // `pieces` as chunks, `gapMs` apart, then the end of the body
        streamCut,  // the same, then the connection closes without the end of the body
        streamHang, // the same, then nothing: the connection stays open and silent
        flood,      // a chunked body of `floodBytes` written as fast as the client reads
    };
    int status = 200;
    QByteArray body;
    Delivery delivery = Delivery::whole;
    QByteArray location = {}; // sent as a Location header when set
    int delayMs = 0;          // the answer starts this long after the request
    QByteArray contentType = {}; // sent as Content-Type when set
    QList<QByteArray> pieces = {};
    int gapMs = 0;
    qint64 floodBytes = 0;
    // Streams wait before their last piece until this returns true (polled).
    std::function<bool()> holdLast = {};
};

// An HTTP/1.1 server on 127.0.0.1 for tests: records every request and answers it
// through the handler, one request per connection.
class FakeHttpServer : public QTcpServer {
public:
    using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;

    // Listens at once; port 0 picks a free one. Check isListening().
    explicit FakeHttpServer(Handler handler, quint16 port = 0);
    QString baseUrl() const;

    QList<RecordedRequest> requests;
    // Connections the client has not closed yet.
    int openConnections() const { return m_open; }
    std::function<void(int open)> connectionsChanged;

private:
    void read(QTcpSocket* socket, QByteArray& buffer);
    static void answer(QTcpSocket* socket, const ScriptedResponse& response);
    static void sendPieces(QTcpSocket* socket, const ScriptedResponse& response, qsizetype next);

    Handler m_handler;
    int m_open = 0;
};

// A loopback port where nothing listens: bound once, then released.
inline quint16 closedLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
inline QString closedLoopbackUrl() { return QStringLiteral("http://127.0.0.1:%1").arg(closedLoopbackPort()); }
