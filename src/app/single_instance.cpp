#include "single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace {
constexpr int kConnectTimeoutMs = 500;
const QByteArray kShowMessage = QByteArrayLiteral("show\n");
}

SingleInstance::SingleInstance(const QString& runtimeDir, QObject* parent)
    : QObject(parent), m_dir(runtimeDir)
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

bool SingleInstance::claim()
{
    QDir().mkpath(m_dir);
    QFile::setPermissions(m_dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_lock = std::make_unique<QLockFile>(m_dir + QStringLiteral("/instance.lock"));
    // A lock left by a process that is gone is taken over by tryLock itself.
    if (!m_lock->tryLock(0)) {
        // Alive but not answering (still starting, or hung): do not start a
        // second one that would fight over the hotkeys either.
        notifyRunningInstance();
        return false;
    }
    return listen();
}

bool SingleInstance::notifyRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_dir + QStringLiteral("/instance.sock"));
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kShowMessage);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen()
{
    const QString name = m_dir + QStringLiteral("/instance.sock");
    QLocalServer::removeServer(name); // we hold the lock: any socket file left is stale
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name))
        return true; // still the only instance; a second start just cannot reach us
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show"))
                    emit activationRequested();
            });
        }
    });
    return true;
}
