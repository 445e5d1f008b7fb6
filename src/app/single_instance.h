#pragma once

#include "instance_lock.h"
#include "remote_request.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QTimer;
class QFileSystemWatcher;

// One Tovalin per user session: a second start asks the running one to come
// forward instead of grabbing the same keys twice. The same socket carries the
// remote commands (tovalin --palette, --run, --show) to the running one.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // runtimeDir holds the lock and the socket ($XDG_RUNTIME_DIR, else a per-user temp folder).
    // Each of stateDirs gets a lock too: two starts with different runtime folders must not
    // share the documents either.
    explicit SingleInstance(const QString& runtimeDir, const QStringList& stateDirs = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultRuntimeDir();

    // True when this process is now the one instance. False when another one runs (it has
    // then been asked to show itself, see handedOver()) or when this start cannot run; the
    // reason is then on the console.
    bool claim();
    bool handedOver() const { return m_handedOver; }

    // Asks the running instance without ever becoming one. When none answers, the reply's
    // status is notRunning and its message says why. Without awaitReply, delivering the
    // request is done.
    RemoteReply send(const RemoteRequest& request, bool awaitReply = true);

    // Answers the palette and run requests; without a handler they are refused. Show
    // requests always answer by activationRequested.
    using RequestHandler = std::function<RemoteReply(const RemoteRequest&)>;
    void setRequestHandler(RequestHandler handler) { m_handler = std::move(handler); }

    // Clients served at once; more are turned away until one is done.
    static constexpr int maxClients = 8;
    // A client that has not sent its line by then is dropped.
    static constexpr int clientTimeoutMs = 3000;

signals:
    void activationRequested();

private:
    QString socketPath() const;
    void accept(QLocalSocket* socket);
    void readRequest(QLocalSocket* socket);
    RemoteReply answer(const QByteArray& line);
    bool takeLock(const QString& dir, const QString& refusal);
    // Listens on the socket, again whenever it is gone (deleted, or closed by Qt when
    // accepting failed for lack of file handles); retried while listening fails.
    void listen();
    // Makes the runtime folder and its lock again when they were removed; why not, else empty.
    QString restoreFolder();

    QString m_dir;
    QStringList m_stateDirs;
    std::vector<std::unique_ptr<InstanceLock>> m_locks;
    QLocalServer* m_server = nullptr;
    QTimer* m_retry = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QString m_listenProblem;
    RequestHandler m_handler;
    bool m_handedOver = false;
};
