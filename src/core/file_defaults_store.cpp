#include "file_defaults_store.h"

#include "console.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
constexpr auto kOwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr auto kOwnerOnlyDir = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// XDG says relative paths in these variables are invalid and must be ignored.
QString xdgDir(const char* variable, const QString& fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}

bool ensurePrivateDir(const QString& dir)
{
    QFileInfo info(dir);
    if (info.isDir())
        return true;
    if (!QDir().mkpath(dir))
        return false;
    QFile::setPermissions(dir, kOwnerOnlyDir);
    return true;
}
} // namespace

FileDefaultsStore::FileDefaultsStore(QString configDir, QString stateDir)
    : m_configDir(std::move(configDir)), m_stateDir(std::move(stateDir))
{
}

FileDefaultsStore FileDefaultsStore::forCurrentUser()
{
    return FileDefaultsStore(xdgDir("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/tovalin"),
                             xdgDir("XDG_STATE_HOME", QStringLiteral(".local/state")) + QStringLiteral("/tovalin"));
}

QString FileDefaultsStore::pathForKey(const QString& key) const
{
    if (key == QLatin1String("tovalin_settings"))
        return m_configDir + QStringLiteral("/settings.json");
    if (key == QLatin1String("tovalin_commands"))
        return m_configDir + QStringLiteral("/commands.json");
    if (key == QLatin1String("tovalin_history"))
        return m_stateDir + QStringLiteral("/history.json");
    return {};
}

std::optional<QByteArray> FileDefaultsStore::data(const QString& key)
{
    const QString path = pathForKey(key);
    if (path.isEmpty())
        return std::nullopt;
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    // Something is there; if it cannot be read as a document it still counts as
    // a stored value, so it is neither reseeded nor silently overwritten.
    if (!info.isFile() || info.size() > maxDocumentBytes)
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(maxDocumentBytes + 1);
}

void FileDefaultsStore::markUnreadable(const QString& key)
{
    if (!pathForKey(key).isEmpty())
        m_unreadableKeys.insert(key);
}

QString FileDefaultsStore::unreadableCopyPath(const QString& path)
{
    QString target = path + QStringLiteral(".unreadable");
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = path + QStringLiteral(".unreadable.%1").arg(n);
    return target;
}

QString FileDefaultsStore::unreadableCopyLocation(const QString& key) const
{
    const QString path = pathForKey(key);
    return path.isEmpty() ? QString() : unreadableCopyPath(path);
}

void FileDefaultsStore::keepUnreadableCopy(const QString& path)
{
    const QString target = unreadableCopyPath(path);
    if (QFile::rename(path, target) || QDir().rename(path, target))
        Console::line(QStringLiteral("Kept unreadable %1 as %2").arg(path, target));
    else
        Console::line(QStringLiteral("Could not keep unreadable %1 as %2").arg(path, target));
}

bool FileDefaultsStore::setData(const QString& key, const QByteArray& bytes)
{
    const QString path = pathForKey(key);
    if (path.isEmpty())
        return false;
    if (!ensurePrivateDir(QFileInfo(path).absolutePath())) {
        Console::line(QStringLiteral("Could not create folder for %1").arg(path));
        return false;
    }
    if (m_unreadableKeys.contains(key)) {
        QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            keepUnreadableCopy(path);
        m_unreadableKeys.remove(key);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        Console::line(QStringLiteral("Could not write %1: %2").arg(path, file.errorString()));
        return false;
    }
    file.setPermissions(kOwnerOnlyFile);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        Console::line(QStringLiteral("Could not write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}
