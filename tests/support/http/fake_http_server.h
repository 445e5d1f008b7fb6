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
    };
    int status = 200;
    QByteArray body;
    Delivery delivery = Delivery::whole;
    QByteArray location = {}; // sent as a Location header when set
    int delayMs = 0;          // the answer starts this long after the request
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

private:
    void read(QTcpSocket* socket, QByteArray& buffer);
    static void answer(QTcpSocket* socket, const ScriptedResponse& response);

    Handler m_handler;
};
