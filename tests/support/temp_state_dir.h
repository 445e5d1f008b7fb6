#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <sys/stat.h>

// A private XDG config and state location for one test; restores the environment.
class TempStateDir {
public:
    TempStateDir()
    {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_oldState = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
        qputenv("XDG_STATE_HOME", stateHome().toUtf8());
    }
    ~TempStateDir()
    {
        restore("XDG_CONFIG_HOME", m_oldConfig);
        restore("XDG_STATE_HOME", m_oldState);
    }
    QString root() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString stateHome() const { return m_dir.path() + QStringLiteral("/state"); }
    QString configDir() const { return configHome() + QStringLiteral("/tovalin"); }
    QString stateDir() const { return stateHome() + QStringLiteral("/tovalin"); }

private:
    static void restore(const char* name, const QByteArray& value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    QByteArray m_oldState;
};

// Small file helpers for tests that look at what the program stores.
inline int fileMode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A figure of /proc/<pid>/status in kB (VmHWM: the most ever resident; VmRSS: now); -1 if unread.
inline qint64 procStatusKb(const QByteArray& field, qint64 pid = 0)
{
    const QByteArray status = readFile(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    const qsizetype at = status.indexOf("\n" + field + ":"), end = status.indexOf('\n', at + 1);
    return at < 0 ? -1 : status.mid(at + field.size() + 2, end - at - field.size() - 2).trimmed().split(' ').first().toLongLong();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
