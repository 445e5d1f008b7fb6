#pragma once

#include "temp_state_dir.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

// sway refuses to run as root: under root it runs as nobody, in a runtime folder of its
// own, and the clients name its socket by its absolute path.
class HeadlessSway {
public:
    HeadlessSway()
    {
        if (QStandardPaths::findExecutable("sway").isEmpty())
            return;
        const QString run = m_dir.path() + "/run";
        QDir().mkpath(run);
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        ::chmod(QFile::encodeName(run).constData(), 0700);
        const QString config = m_dir.path() + "/config";
        writeFile(config, "xwayland disable\n"
                          "output HEADLESS-1 resolution 1280x800\n"
                          "for_window [app_id=\"tovalin-palette\"] floating enable\n");
        ::chmod(QFile::encodeName(config).constData(), 0644);
        QProcessEnvironment env;
        env.insert("PATH", qEnvironmentVariable("PATH"));
        env.insert("HOME", m_dir.path());
        env.insert("XDG_RUNTIME_DIR", run);
        env.insert("WLR_BACKENDS", "headless");
        env.insert("WLR_RENDERER", "pixman");
        env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        m_sway.setProcessEnvironment(env);
        m_sway.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_sway.setStandardErrorFile(m_dir.path() + "/sway.log");
        if (::geteuid() == 0) {
            if (::chown(QFile::encodeName(run).constData(), 65534, 65534) != 0)
                return;
            m_sway.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", config});
        } else {
            m_sway.start("sway", {"-c", config});
        }
        m_started = QTest::qWaitFor([&] {
            for (const QFileInfo& entry : QDir(run).entryInfoList(QDir::System)) {
                if (entry.fileName().startsWith("wayland-") && !entry.fileName().endsWith(".lock"))
                    m_socket = entry.absoluteFilePath();
                else if (entry.fileName().startsWith("sway-ipc"))
                    m_ipc = entry.absoluteFilePath();
            }
            return (!m_socket.isEmpty() && !m_ipc.isEmpty()) || m_sway.state() == QProcess::NotRunning;
        }, 10000);
    }
    ~HeadlessSway()
    {
        m_sway.terminate();
        m_sway.waitForFinished(5000);
    }
    bool isRunning() const { return m_started && m_sway.state() == QProcess::Running && !m_socket.isEmpty(); }
    QString log() const { return QString::fromUtf8(readFile(m_dir.path() + "/sway.log").right(2000)); }

    // For a client with a runtime folder of its own.
    QProcessEnvironment environment(const QString& runtimeDir) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM", "TOVALIN_BACKEND"})
            env.remove(name);
        env.insert("XDG_RUNTIME_DIR", runtimeDir);
        env.insert("WAYLAND_DISPLAY", m_socket);
        env.insert("SWAYSOCK", m_ipc);
        return env;
    }

    // The window of that app_id in sway's tree; an empty object when there is none.
    QJsonObject window(const QString& appId) const
    {
        QProcess swaymsg;
        swaymsg.setProcessEnvironment(environment(m_dir.path()));
        swaymsg.start("swaymsg", {"-r", "-t", "get_tree"});
        swaymsg.waitForFinished(5000);
        QList<QJsonObject> nodes{QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object()};
        while (!nodes.isEmpty()) {
            const QJsonObject node = nodes.takeFirst();
            if (node["app_id"].toString() == appId)
                return node;
            for (const char* children : {"nodes", "floating_nodes"})
                for (const QJsonValue& child : node[children].toArray())
                    nodes << child.toObject();
        }
        return {};
    }
    bool focused(const QString& appId) const { return window(appId)["focused"].toBool(); }

private:
    QTemporaryDir m_dir;
    QProcess m_sway;
    QString m_socket;
    QString m_ipc;
    bool m_started = false;
};

