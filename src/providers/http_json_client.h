#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
#include <QNetworkReply>
#include <QString>
#include <QUrl>
#include <QByteArrayView>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QNetworkAccessManager;
class RequestCanceller;

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// What came back from the server: the status (absent when the reply was not HTTP) and the body.
struct HttpReply {
    std::optional<int> status;
    QByteArray body; // empty when the body went to a stream sink
    bool streamed = false;
};

// Posts JSON bodies through network access managers shared by all clients.
class HttpJsonClient {
public:
    // Far beyond any real answer; a longer reply is cut off and the call fails.
    static constexpr qint64 maxReplyBytes = 8 * 1024 * 1024;

    // Takes the pieces of a streamed body as they arrive and says whether the stream has
    // ended (the exchange then stops there). May throw: the exchange ends with that error.
    using StreamSink = std::function<bool(QByteArrayView piece)>;

    struct Options {
        // Receives a 200 body sent as an event stream (text/event-stream or NDJSON) instead
        // of keeping it; any other body is kept whole as usual.
        StreamSink streamSink;
        // Aborts the exchange when cancelled; the call then throws RunCancelled.
        std::shared_ptr<RequestCanceller> canceller;
    };

    // Sends POST with "Content-Type: application/json" plus `headers`, once: the body is never
    // sent again, a redirect is not followed, and `timeout` bounds the whole exchange. Throws
    // NetworkFailure when the exchange fails below HTTP (refused, time-out, TLS, a redirect,
    // an oversized reply, ...); an HTTP error status is not a failure here. Bodies are read
    // as they arrive and never kept past maxReplyBytes, however they are framed.
    static QCoro::Task<HttpReply> post(QUrl url, HttpHeaders headers, QByteArray body,
                                       std::chrono::milliseconds timeout, Options options = {});
    // Sends GET with `headers`, under the same rules and failures as post().
    static QCoro::Task<HttpReply> get(QUrl url, std::chrono::milliseconds timeout,
                                      HttpHeaders headers = {});

    // A short readable text for a transport failure; `fallback` for codes without one.
    static QString describe(QNetworkReply::NetworkError code, const QString& fallback);

private:
    // Waits for a sent request within `timeout` and sorts its outcome; owns the reply.
    static QCoro::Task<HttpReply> finish(QNetworkReply* sent, std::chrono::milliseconds timeout,
                                         Options options);
    // Created on first use, not at start-up: the network stack costs memory.
    static QNetworkAccessManager& networkAccessManager();
};
