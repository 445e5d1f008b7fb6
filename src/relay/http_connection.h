#pragma once

#include "http_limits.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

class ByteBudget;
class QTcpSocket;

// One request as the relay's handlers see it.
struct HttpRequest {
    QByteArray method;
    QByteArray path; // without the query
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    QString client; // the peer's address
};

// One client connection of the relay's HTTP/1.1 server: reads a request (request line,
// headers, a Content-Length body) under the deadlines of HttpLimits, hands it on, writes
// the answer whole or as a stream, and waits for the next one on a kept-alive connection.
// One request at a time; a pipelined one waits in the socket until the answer is out.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    HttpConnection(QTcpSocket* socket, const HttpLimits& limits, ByteBudget& bodyBudget,
                   QObject* parent = nullptr);
    ~HttpConnection() override;

    QString client() const { return m_client; }

    // Answers the request in hand.
    void respond(int status, const QByteArray& contentType, const QByteArray& body);
    // Starts an answer whose body follows in pieces: chunked on a kept-alive connection,
    // otherwise ended by closing the connection.
    void beginStream(int status, const QByteArray& contentType);
    void writeStream(const QByteArray& bytes);
    void endStream();

    // No further request is read: an idle connection closes now, a busy one after its answer.
    void finishAndClose();

    // The text of an answer's status line, "Not Found" for 404.
    static QByteArray reasonPhrase(int status);

signals:
    void requestReceived(HttpConnection* connection, const HttpRequest& request);
    // A request turned away by the connection itself ("POST /chat" or "-" when unread), for
    // the access log.
    void refused(const QString& client, const QString& request, int status, const QString& note);
    void closed(HttpConnection* connection);

private:
    enum class State { idle, head, body, busy, draining, closing, gone };

    void readMore();
    bool parseHead(qsizetype headEnd);
    void bodyComplete();
    void answerEnded();
    void refuse(int status, const QString& message, const QString& note);
    void writeHead(int status, const QByteArray& contentType, const QByteArray& framing);
    void waitFor(State state, std::chrono::milliseconds limit);
    void timedOut();
    void closeGently();
    void close();
    void releaseBody();
    QString requestName() const;

    QTcpSocket* m_socket;
    const HttpLimits& m_limits;
    ByteBudget& m_bodyBudget;
    QString m_client;
    QTimer m_deadline;
    State m_state = State::idle;
    QByteArray m_buffer; // read but not yet part of a request's head or body
    HttpRequest m_request;
    qint64 m_bodyLength = 0;
    qint64 m_budgetTaken = 0;
    bool m_keepAlive = true;
    bool m_chunked = false;
    bool m_closeAfterAnswer = false;
    bool m_refused = false;
};
