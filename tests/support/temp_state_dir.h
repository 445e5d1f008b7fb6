#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

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
