#pragma once

#include <QHostAddress>
#include <QTcpServer>

// The listening socket of the relay. Qt's HTTP server reads a whole request into memory
// before anyone sees it; this cuts a connection off with 413 once it has sent more than
// `maxRequestBytes` towards one request, so a huge body never piles up.
class BoundedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    BoundedTcpServer(qint64 maxRequestBytes, QObject* parent = nullptr);

    // A request arrived whole on `socket`: its bytes no longer count.
    static void requestSeen(QTcpSocket* socket);

signals:
    void oversized(const QHostAddress& peer);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void refuse(QTcpSocket* socket);

    qint64 m_maxRequestBytes;
};
