#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <utility>

class QTcpServer;
class QTcpSocket;

using HttpHeaderList = QList<std::pair<QByteArray, QByteArray>>;

// One request as it arrived on the wire.
struct RecordedRequest {
    QByteArray method;
    QByteArray target; // as sent: path plus "?query" when present
    QByteArray path;
    QByteArray query; // without the '?'; empty when absent
    HttpHeaderList headers; // in arrival order, names as sent
    QByteArray body;

    // Case-insensitive header lookup; a null QByteArray when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    // Header names in lower case.
    QList<QByteArray> headerNames() const;
    // The body as a JSON object; empty when it is not one.
    QJsonObject json() const;
};

// What the server answers to one request.
struct ScriptedResponse {
    int status = 200;
    HttpHeaderList headers;
    QByteArray body;
    bool neverAnswer = false; // keep the connection open and silent
    bool closeWithoutAnswer = false; // hang up once the request is in
    int delayMs = 0;          // wait this long before answering

    static ScriptedResponse json(int status, const QByteArray& body);
    static ScriptedResponse text(int status, const QByteArray& body,
                                 const QByteArray& contentType = "text/plain");
    static ScriptedResponse silence();
    static ScriptedResponse hangUp();
};

// A small HTTP/1.1 server on 127.0.0.1 for tests: records every request and answers
// from a queue of scripted responses, then from the handler, then with a 404.
class FakeHttpServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;

    explicit FakeHttpServer(QObject* parent = nullptr);
    ~FakeHttpServer() override;

    // Port 0 picks a free one.
    bool listen(quint16 port = 0);
    quint16 port() const;
    // "http://127.0.0.1:<port>"
    QString baseUrl() const;

    void enqueue(ScriptedResponse response);
    void setHandler(Handler handler);

    const QList<RecordedRequest>& requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

signals:
    void requestReceived(const RecordedRequest& request);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const ScriptedResponse& response);

    QTcpServer* m_server;
    QList<ScriptedResponse> m_queue;
    Handler m_handler;
    QList<RecordedRequest> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers; // unanswered connections only
};
