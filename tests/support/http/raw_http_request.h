#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>

// One HTTP/1.1 request written straight to its own connection on 127.0.0.1: no pool and
// no per-host limit, so any number can be open at once (Qt's network manager opens six).
class RawHttpRequest : public QObject {
public:
    RawHttpRequest(quint16 port, const QByteArray& method, const QByteArray& path,
                   const QByteArray& body = {}, QObject* parent = nullptr);

    bool isFinished() const { return m_finished; }
    // 0 when no status line came back (refused, or closed before an answer).
    int status() const;
    QByteArray body() const;
    qint64 elapsedNs() const { return m_elapsedNs; }

private:
    void finish();

    QTcpSocket m_socket;
    QByteArray m_received;
    QElapsedTimer m_clock;
    qint64 m_elapsedNs = 0;
    bool m_finished = false;
};
