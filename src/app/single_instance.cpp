#include "single_instance.h"

#include "console.h"
#include "private_path.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <unistd.h>

namespace {
constexpr int kConnectTimeoutMs = 500;
constexpr int kConnectAttempts = 4;
constexpr int kListenRetryMs = 1000;
const QByteArray kShowMessage = QByteArrayLiteral("show\n");

QString ownerOf(const QLockFile& lock)
{
    qint64 pid = 0;
    QString host, app;
    return lock.getLockInfo(&pid, &host, &app) ? QStringLiteral(" (pid %1)").arg(pid) : QString();
}
} // namespace

SingleInstance::SingleInstance(const QString& runtimeDir, const QStringList& stateDirs, QObject* parent)
    : QObject(parent), m_dir(runtimeDir), m_stateDirs(stateDirs)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::defaultRuntimeDir()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime + QStringLiteral("/tovalin");
    return QDir::tempPath() + QStringLiteral("/tovalin-%1").arg(::getuid());
}

QString SingleInstance::socketPath() const { return m_dir + QStringLiteral("/instance.sock"); }

bool SingleInstance::claim()
{
    m_handedOver = false;
    // In a shared temp folder anyone may have made ours first.
    if (const QString problem = PrivatePath::prepareFolder(m_dir, true); !problem.isEmpty()) {
        Console::line(QStringLiteral("Cannot use the runtime folder %1: %2").arg(m_dir, problem));
        return false;
    }
    if (!takeLock(m_dir, {})) {
        // Alive but not answering (still starting, or hung): do not start a second one that
        // would fight over the hotkeys either.
        m_handedOver = notifyRunningInstance();
        if (!m_handedOver)
            Console::line(QStringLiteral("Tovalin is already running%1 but does not answer at %2")
                              .arg(ownerOf(QLockFile(m_dir + QStringLiteral("/instance.lock"))), socketPath()));
        return false;
    }
    for (const QString& dir : std::as_const(m_stateDirs)) {
        // A folder that is not the user's is refused by the store itself: nothing to guard.
        if (!PrivatePath::prepareFolder(dir, true).isEmpty())
            continue;
        if (!takeLock(dir, QStringLiteral("Another Tovalin%1 uses %2 and cannot be reached from here"))) {
            m_locks.clear();
            return false;
        }
    }
    listen();
    return true;
}

bool SingleInstance::takeLock(const QString& dir, const QString& refusal)
{
    auto lock = std::make_unique<QLockFile>(dir + QStringLiteral("/instance.lock"));
    // A lock left by a process that is gone is taken over by tryLock itself.
    if (!lock->tryLock(0)) {
        if (!refusal.isEmpty())
            Console::line(refusal.arg(ownerOf(*lock), dir));
        return false;
    }
    m_locks.push_back(std::move(lock));
    return true;
}

bool SingleInstance::notifyRunningInstance()
{
    // The running one may be between taking the lock and listening.
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (attempt > 0)
            QThread::msleep(kConnectTimeoutMs / 2);
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (!socket.waitForConnected(kConnectTimeoutMs))
            continue;
        socket.write(kShowMessage);
        socket.waitForBytesWritten(kConnectTimeoutMs);
        socket.disconnectFromServer();
        return true;
    }
    return false;
}

void SingleInstance::listen()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                    if (socket->readAll().contains("show"))
                        emit activationRequested();
                });
            }
        });
        // Told by the kernel when the folder changes: nothing runs while all is well.
        auto* watcher = new QFileSystemWatcher({m_dir}, this);
        connect(watcher, &QFileSystemWatcher::directoryChanged, this, &SingleInstance::listen);
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        m_retry->setInterval(kListenRetryMs);
        connect(m_retry, &QTimer::timeout, this, &SingleInstance::listen);
    }
    if (m_server->isListening() && QFileInfo::exists(socketPath()))
        return;
    m_server->close();
    QLocalServer::removeServer(socketPath()); // we hold the lock: any socket file left is stale
    if (m_server->listen(socketPath()))
        return;
    if (!m_retry->isActive())
        Console::line(QStringLiteral("Cannot listen at %1 (%2); a second start cannot reach this one until it can")
                          .arg(socketPath(), m_server->errorString()));
    m_retry->start();
}
