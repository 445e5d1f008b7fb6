#include "file_defaults_store.h"

#include "console.h"
#include "private_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
constexpr auto kOwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// XDG says relative paths in these variables are invalid and must be ignored.
QString xdgDir(const char* variable, const QString& fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}

} // namespace

FileDefaultsStore::FileDefaultsStore(QString configDir, QString stateDir, qint64 maxDocumentBytes)
    : m_configDir(std::move(configDir)), m_stateDir(std::move(stateDir)),
      m_maxDocumentBytes(maxDocumentBytes)
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
    m_readProblems.remove(key);
    // Something there that is not read counts as stored but unreadable: defaults, no
    // reseeding, and never silently overwritten. Why is kept for the user.
    const auto unread = [this, &key](const QString& why) {
        m_readProblems.insert(key, why);
        return std::optional<QByteArray>(QByteArray());
    };
    if (!mayUse(path, false))
        return unread(m_refusedPaths.value(QFileInfo(path).absolutePath(), m_refusedPaths.value(path)));
    QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    if (!info.isFile())
        return unread(QStringLiteral("it is not a file"));
    if (info.size() > m_maxDocumentBytes)
        return unread(QStringLiteral("it is larger than %1 bytes").arg(m_maxDocumentBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unread(file.errorString());
    return file.read(m_maxDocumentBytes + 1);
}

bool FileDefaultsStore::mayUse(const QString& path, bool createFolder)
{
    const QString folder = QFileInfo(path).absolutePath();
    QString place = folder;
    QString problem = PrivatePath::prepareFolder(folder, createFolder);
    if (problem.isEmpty()) {
        place = path;
        problem = PrivatePath::entryProblem(path);
    }
    if (problem.isEmpty())
        return true;
    if (!m_refusedPaths.contains(place)) {
        m_refusedPaths.insert(place, problem);
        Console::line(QStringLiteral("Not using %1: %2").arg(place, problem));
    }
    return false;
}

void FileDefaultsStore::markUnreadable(const QString& key)
{
    if (!pathForKey(key).isEmpty())
        m_unreadableKeys.insert(key);
}

QString FileDefaultsStore::unreadableCopyPath(const QString& path)
{
    return path + QStringLiteral(".unreadable");
}

QString FileDefaultsStore::unreadableCopyLocation(const QString& key) const
{
    const QString path = pathForKey(key);
    return path.isEmpty() ? QString() : unreadableCopyPath(path);
}

void FileDefaultsStore::keepUnreadableCopy(const QString& path)
{
    // Newest first: NAME.unreadable, NAME.unreadable.2, ... up to the kept count.
    const auto copy = [&path](int n) {
        return unreadableCopyPath(path) + (n > 1 ? QStringLiteral(".%1").arg(n) : QString());
    };
    const auto remove = [](const QString& entry) {
        QFileInfo info(entry);
        return info.isDir() && !info.isSymLink() ? QDir(entry).removeRecursively() : QFile::remove(entry);
    };
    const QFileInfo document(path);
    const QStringList numbered = document.dir().entryList(
        {document.fileName() + QStringLiteral(".unreadable.*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
    for (const QString& name : numbered) // older ones, from before there was a limit too
        if (name.section(QLatin1Char('.'), -1).toInt() >= keptUnreadableCopies)
            remove(document.dir().filePath(name));
    // Copies made by older versions, or opened up by hand, are private again once they move.
    const auto makePrivate = [](const QString& entry) {
        const QFileInfo info(entry);
        if (!info.isSymLink())
            QFile::setPermissions(entry, info.isDir() ? kOwnerOnlyFile | QFileDevice::ExeOwner : kOwnerOnlyFile);
    };
    for (int n = keptUnreadableCopies - 1; n >= 1; --n)
        if (QDir().rename(copy(n), copy(n + 1)))
            makePrivate(copy(n + 1));

    const QString target = copy(1);
    if (!QDir().rename(path, target)) {
        Console::line(QStringLiteral("Could not keep unreadable %1 as %2").arg(path, target));
        return;
    }
    makePrivate(target);
    Console::line(QStringLiteral("Kept unreadable %1 as %2").arg(path, target));
}

bool FileDefaultsStore::setData(const QString& key, const QByteArray& bytes)
{
    const QString path = pathForKey(key);
    if (path.isEmpty() || !mayUse(path, true))
        return false;
    if (bytes.size() > m_maxDocumentBytes) {
        Console::line(QStringLiteral("Not writing %1: %2 bytes is more than it may hold (%3)")
                          .arg(path).arg(bytes.size()).arg(m_maxDocumentBytes));
        return false;
    }
    if (m_unreadableKeys.contains(key)) {
        if (QFileInfo::exists(path))
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
