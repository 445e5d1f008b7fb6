#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
#include <QNetworkReply>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>
#include <utility>

class QNetworkAccessManager;

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// What came back from the server: the status (absent when the reply was not HTTP) and the body.
struct HttpReply {
    std::optional<int> status;
    QByteArray body;
};

// Posts JSON bodies through one network access manager shared by all clients.
class HttpJsonClient {
public:
    // Sends POST with "Content-Type: application/json" plus `headers`. Throws NetworkFailure
    // when the exchange fails below HTTP (refused, time-out, TLS, ...); an HTTP error status
    // is not a failure here.
    static QCoro::Task<HttpReply> post(QUrl url, HttpHeaders headers, QByteArray body,
                                       std::chrono::milliseconds timeout);
    // Sends GET; failures as for post().
    static QCoro::Task<HttpReply> get(QUrl url, std::chrono::milliseconds timeout);

    // A short readable text for a transport failure; `fallback` for codes without one.
    static QString describe(QNetworkReply::NetworkError code, const QString& fallback);

private:
    // Waits for a sent request and sorts its outcome; owns the reply.
    static QCoro::Task<HttpReply> finish(QNetworkReply* reply);
    // Created on first use, not at start-up: the network stack costs memory.
    static QNetworkAccessManager& networkAccessManager();
};
