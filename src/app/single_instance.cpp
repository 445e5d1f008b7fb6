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
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kConnectTimeoutMs = 500;
constexpr int kConnectAttempts = 4;
constexpr int kListenRetryMs = 1000;
// The instance answers at once; running a command does not wait for the provider.
constexpr int kReplyTimeoutMs = 3000;

QString lockPath(const QString& dir) { return dir + QStringLiteral("/instance.lock"); }

QString ownerOf(const QString& dir)
{
    const std::optional<qint64> pid = InstanceLock::holder(lockPath(dir));
    return pid.value_or(0) > 0 ? QStringLiteral(" (pid %1)").arg(*pid) : QString();
}

// The folder is the user's own already; this also keeps out root's and anyone else's
// processes that could enter it.
bool fromThisUser(const QLocalSocket& socket)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
        && peer.uid == ::getuid();
}

// One line of at most RemoteRequest::maxLineBytes, without its end; nothing while incomplete.
std::optional<QByteArray> takeLine(QLocalSocket& socket)
{
    if (!socket.canReadLine())
        return std::nullopt;
    QByteArray line = socket.readLine(RemoteRequest::maxLineBytes + 1);
    if (line.endsWith('\n'))
        line.chop(1);
    return line;
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
        // A plain start only hands over; it has nothing to say about the answer. Alive but
        // not answering (still starting, or hung): do not start a second one that would
        // fight over the hotkeys either.
        const RemoteReply reply = send(RemoteRequest{}, false);
        m_handedOver = reply.status == RemoteReply::done;
        if (!m_handedOver)
            Console::line(reply.message);
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
    auto lock = std::make_unique<InstanceLock>(lockPath(dir));
    if (!lock->tryLock()) {
        if (!refusal.isEmpty())
            Console::line(refusal.arg(ownerOf(dir), dir));
        return false;
    }
    m_locks.push_back(std::move(lock));
    return true;
}

RemoteReply SingleInstance::send(const RemoteRequest& request, bool awaitReply)
{
    if (const QString problem = PrivatePath::prepareFolder(m_dir, false); !problem.isEmpty())
        return {RemoteReply::notRunning, QStringLiteral("Cannot use the runtime folder %1: %2").arg(m_dir, problem)};
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (!socket.waitForConnected(kConnectTimeoutMs)) {
            // Without a live lock holder nothing runs, and waiting will not change that.
            if (!InstanceLock::holder(lockPath(m_dir)))
                return {RemoteReply::notRunning, QStringLiteral("Tovalin is not running")};
            // The running one may be between taking the lock and listening.
            QThread::msleep(kConnectTimeoutMs / 2);
            continue;
        }
        socket.write(request.toLine());
        socket.waitForBytesWritten(kConnectTimeoutMs);
        if (!awaitReply)
            return {RemoteReply::done, {}};
        std::optional<QByteArray> line;
        while (!(line = takeLine(socket)) && socket.bytesAvailable() <= RemoteRequest::maxLineBytes
               && socket.waitForReadyRead(kReplyTimeoutMs)) {
        }
        const std::optional<RemoteReply> reply = line ? RemoteReply::fromLine(*line) : std::nullopt;
        if (reply)
            return *reply;
        break;
    }
    return {RemoteReply::notRunning, QStringLiteral("Tovalin is already running%1 but does not answer at %2")
                                         .arg(ownerOf(m_dir), socketPath())};
}

void SingleInstance::accept(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (m_server->findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly).size() > maxClients || !fromThisUser(*socket)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // Qt buffers no more than one request's worth: a flood stays in the kernel, then is dropped.
    socket->setReadBufferSize(RemoteRequest::maxLineBytes + 1);
    QTimer::singleShot(clientTimeoutMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
}

void SingleInstance::readRequest(QLocalSocket* socket)
{
    std::optional<QByteArray> line = takeLine(*socket);
    if (!line && socket->bytesAvailable() <= RemoteRequest::maxLineBytes)
        return; // more to come
    // One request per connection: whatever follows is not read.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    socket->write(answer(line.value_or(QByteArray())).toLine());
    socket->disconnectFromServer();
}

RemoteReply SingleInstance::answer(const QByteArray& line)
{
    const std::optional<RemoteRequest> request = RemoteRequest::fromLine(line);
    if (!request)
        return {RemoteReply::malformed, QStringLiteral("Tovalin did not understand the request")};
    if (request->kind == RemoteRequest::Kind::show) {
        emit activationRequested();
        return {RemoteReply::done, QStringLiteral("Tovalin's window is in front")};
    }
    if (!m_handler)
        return {RemoteReply::malformed, QStringLiteral("This Tovalin does not take that request")};
    return m_handler(*request);
}

void SingleInstance::listen()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_server->nextPendingConnection())
                accept(socket);
        });
        // Told by the kernel when the folder changes: nothing runs while all is well. The
        // parent is watched too, since a removed folder takes its own watch with it.
        m_watcher = new QFileSystemWatcher({m_dir, QFileInfo(m_dir).absolutePath()}, this);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &SingleInstance::listen);
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        m_retry->setInterval(kListenRetryMs);
        connect(m_retry, &QTimer::timeout, this, &SingleInstance::listen);
    }
    if (m_server->isListening() && QFileInfo::exists(socketPath()))
        return;
    QString problem = restoreFolder();
    if (problem.isEmpty()) {
        m_server->close();
        QLocalServer::removeServer(socketPath()); // we hold the lock: any socket file left is stale
        if (m_server->listen(socketPath())) {
            m_listenProblem.clear();
            return;
        }
        problem = m_server->errorString();
    }
    // Said once per outage, not on every retry.
    if (problem != m_listenProblem)
        Console::line(QStringLiteral("Cannot listen at %1 (%2); a second start cannot reach this one until it can")
                          .arg(socketPath(), problem));
    m_listenProblem = problem;
    m_retry->start();
}

QString SingleInstance::restoreFolder()
{
    if (QFileInfo::exists(lockPath(m_dir)))
        return {};
    // Removed while running: made again under the same rules, and the lock taken anew, or
    // a second start would find the place free and run beside this one.
    if (const QString problem = PrivatePath::prepareFolder(m_dir, true); !problem.isEmpty())
        return problem;
    auto lock = std::make_unique<InstanceLock>(lockPath(m_dir));
    if (!lock->tryLock())
        return QStringLiteral("another Tovalin%1 took %2").arg(ownerOf(m_dir), m_dir);
    if (!m_locks.empty())
        m_locks.front() = std::move(lock);
    if (!m_watcher->directories().contains(m_dir))
        m_watcher->addPath(m_dir);
    return {};
}
