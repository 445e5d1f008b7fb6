#include "instance_lock.h"

#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::InstanceLock(QString path) : m_path(std::move(path)) {}

InstanceLock::~InstanceLock()
{
    if (m_fd < 0)
        return;
    // The file stays: unlinking a lock file lets a later start lock a new one while a third
    // still holds the old.
    (void)::ftruncate(m_fd, 0);
    ::close(m_fd);
}

bool InstanceLock::tryLock()
{
    if (m_fd >= 0)
        return true;
    // Never through a link: the pid would be written over whatever it points at.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size()) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

std::optional<qint64> InstanceLock::holder(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        ::close(fd);
        return std::nullopt;
    }
    char text[32] = {};
    const ssize_t read = ::pread(fd, text, sizeof text - 1, 0);
    ::close(fd);
    // The first line is the pid, in our files and in those QLockFile writes.
    bool ok = false;
    const qint64 pid = read > 0 ? QByteArray(text, int(read)).split('\n').value(0).toLongLong(&ok) : 0;
    return ok && pid > 0 ? pid : 0;
}
