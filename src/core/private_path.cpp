#include "private_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

QString ownerProblem(const struct stat& st)
{
    if (st.st_uid == ::geteuid())
        return {};
    return QStringLiteral("it belongs to another user (uid %1)").arg(st.st_uid);
}

} // namespace

QString PrivatePath::prepareFolder(const QString& path, bool create)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(native.constData(), &link) != 0) {
        if (errno != ENOENT)
            return systemError();
        if (!create)
            return {};
        QDir().mkpath(QFileInfo(path).absolutePath()); // the XDG parents keep the usual modes
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return QStringLiteral("it cannot be created (%1)").arg(systemError());
        if (::lstat(native.constData(), &link) != 0)
            return systemError();
    }
    // A link of ours to a folder of ours is fine (dotfile setups); either being foreign is not.
    if (QString problem = ownerProblem(link); !problem.isEmpty())
        return problem;
    struct stat folder {};
    if (::stat(native.constData(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        return QStringLiteral("it is not a folder");
    if (QString problem = ownerProblem(folder); !problem.isEmpty())
        return problem;
    if ((folder.st_mode & 077) && ::chmod(native.constData(), folder.st_mode & 0700) != 0)
        return QStringLiteral("it cannot be made private (%1)").arg(systemError());
    return {};
}

QString PrivatePath::entryProblem(const QString& path)
{
    struct stat entry {};
    if (::lstat(QFile::encodeName(path).constData(), &entry) != 0)
        return errno == ENOENT ? QString() : systemError();
    if (S_ISLNK(entry.st_mode))
        return QStringLiteral("it is a symbolic link");
    return ownerProblem(entry);
}
