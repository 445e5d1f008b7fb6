#pragma once

#include "temp_state_dir.h"

#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

// A headless GNOME: mutter on a virtual monitor, on a session bus of its own
// (dbus-run-session) where xdg-desktop-portal and its GNOME backend start on demand, in a
// runtime folder and home of their own. Everything runs as the test's user, since the
// bus admits no other. The compositor's own RemoteDesktop interface gives the test a
// keyboard, for what a user would press (a consent dialog's buttons, a selection).
class HeadlessGnome {
public:
    HeadlessGnome()
    {
        for (const char* program : {"dbus-run-session", "mutter"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
                m_problem = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(program));
                return;
            }
        }
        const QString run = m_dir.path() + "/run";
        QDir().mkpath(run);
        QDir().mkpath(m_dir.path() + "/home");
        ::chmod(QFile::encodeName(run).constData(), 0700);
        QProcessEnvironment env;
        env.insert("PATH", qEnvironmentVariable("PATH"));
        env.insert("HOME", m_dir.path() + "/home");
        env.insert("XDG_RUNTIME_DIR", run);
        // The portal frontend picks the backend whose UseIn names this desktop.
        env.insert("XDG_CURRENT_DESKTOP", "GNOME");
        env.insert("XDG_SESSION_TYPE", "wayland");
        m_session.setProcessEnvironment(env);
        m_session.setProcessChannelMode(QProcess::MergedChannels);
        m_session.setStandardOutputFile(logPath());
        // mutter is the session's one child: when it ends, dbus-run-session ends the bus and
        // the portals with it.
        m_session.start("dbus-run-session",
                        {"--", "sh", "-c",
                         "echo \"$DBUS_SESSION_BUS_ADDRESS\" > \"$0\"; echo $$ > \"$1\"; "
                         "exec mutter --headless --wayland --no-x11 --virtual-monitor 1280x800",
                         m_dir.path() + "/bus", m_dir.path() + "/mutter.pid"});
        QString socket;
        (void)QTest::qWaitFor([&] {
            for (const QFileInfo& entry : QDir(run).entryInfoList({"wayland-*"}, QDir::System))
                if (!entry.fileName().endsWith(".lock"))
                    socket = entry.fileName();
            return !socket.isEmpty() || m_session.state() == QProcess::NotRunning;
        }, 15000);
        const QString address = QString::fromUtf8(readFile(m_dir.path() + "/bus")).trimmed();
        if (socket.isEmpty() || address.isEmpty()) {
            m_problem = lastLines();
            return;
        }
        m_bus = QDBusConnection::connectToBus(address, QStringLiteral("headless-gnome"));
        m_environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM", "TOVALIN_BACKEND"})
            m_environment.remove(name);
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE"})
            m_environment.insert(name, env.value(name));
        m_environment.insert("WAYLAND_DISPLAY", socket);
        m_environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
        // The portals start on demand, with the bus's environment: tell it the display.
        qDBusRegisterMetaType<QMap<QString, QString>>();
        QDBusMessage update = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                             "org.freedesktop.DBus", "UpdateActivationEnvironment");
        update << QVariant::fromValue(QMap<QString, QString>{{"WAYLAND_DISPLAY", socket}});
        const QDBusMessage updated = m_bus.call(update);
        const QDBusReply<void> portal = m_bus.interface()->startService("org.freedesktop.portal.Desktop");
        if (updated.type() == QDBusMessage::ErrorMessage || !portal.isValid())
            m_failure = QStringLiteral("the desktop portal did not start: %1 %2")
                            .arg(updated.errorMessage(), portal.error().message());
        else if (!openKeyboard())
            m_failure = QStringLiteral("mutter's RemoteDesktop session did not start");
    }
    ~HeadlessGnome()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("headless-gnome"));
        QDBusConnection::disconnectFromBus(QStringLiteral("headless-gnome-a11y"));
        const pid_t mutter = readFile(m_dir.path() + "/mutter.pid").trimmed().toInt();
        if (mutter > 0)
            ::kill(mutter, SIGTERM);
        if (!m_session.waitForFinished(5000)) {
            if (mutter > 0)
                ::kill(mutter, SIGKILL);
            m_session.waitForFinished(2000);
        }
        // The document portal mounts its folder in the runtime folder, and the portals write
        // there, until they see the bus end: the folder cannot be removed before.
        const QByteArray folder = QFile::encodeName(m_dir.path());
        if (!QTest::qWaitFor([&] { return !readFile("/proc/self/mounts").contains(folder); }, 5000))
            QProcess::execute("fusermount3", {"-u", "-z", m_dir.path() + "/run/doc"});
        (void)QTest::qWaitFor([&] { return m_dir.remove(); }, 5000);
    }

    // Why mutter cannot run here, in its own words; empty once it runs.
    const QString& problem() const { return m_problem; }
    // What failed once mutter ran: the portal, or the test's own keyboard.
    const QString& failure() const { return m_failure; }
    QDBusConnection bus() const { return m_bus; }
    // For a client of this desktop: its display, bus, runtime folder and home.
    const QProcessEnvironment& environment() const { return m_environment; }
    QString log() const { return QString::fromUtf8(readFile(logPath()).right(3000)); }

    // The version of a portal interface the desktop offers; 0 when it offers none.
    uint portalVersion(const QString& interface) const
    {
        QDBusMessage get = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop",
                                                          "/org/freedesktop/portal/desktop",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << interface << QStringLiteral("version");
        const QDBusReply<QDBusVariant> reply = m_bus.call(get);
        return reply.isValid() ? reply.value().variant().toUInt() : 0;
    }

    // Presses the keys (X keysyms) in order and releases them in reverse, as a user holding
    // the first ones while tapping the last would, on whichever window has the focus.
    bool press(const QList<uint>& keysyms)
    {
        bool ok = !m_keyboard.isEmpty();
        for (uint keysym : keysyms)
            ok = notifyKey(keysym, true) && ok;
        for (auto it = keysyms.crbegin(); it != keysyms.crend(); ++it)
            ok = notifyKey(*it, false) && ok;
        return ok;
    }

    // Whether a program's window of that title is the active one, as the accessibility
    // bus (AT-SPI) reports it.
    bool windowActive(const QString& program, const QString& title)
    {
        const Accessible window = findAccessible(program, title, QStringLiteral("window"));
        if (window.path.isEmpty())
            return false;
        const QDBusMessage state = m_accessibility.call(
            QDBusMessage::createMethodCall(window.service, window.path, "org.a11y.atspi.Accessible", "GetState"));
        const QList<uint> bits = qdbus_cast<QList<uint>>(state.arguments().value(0));
        constexpr uint activeBit = 1u << 1;
        return !bits.isEmpty() && (bits[0] & activeBit);
    }
    // Clicks a program's button of that name through its accessible action: on GNOME 43
    // the consent dialog's Share button takes neither the keyboard focus nor its mnemonic.
    bool clickButton(const QString& program, const QString& name)
    {
        const Accessible button = findAccessible(program, name, QStringLiteral("button"));
        if (button.path.isEmpty())
            return false;
        QDBusMessage click = QDBusMessage::createMethodCall(button.service, button.path, "org.a11y.atspi.Action", "DoAction");
        click << 0;
        const QDBusReply<bool> clicked = m_accessibility.call(click);
        return clicked.isValid() && clicked.value();
    }

private:
    static constexpr uint shiftKeysym = 0xffe1;
    struct Accessible {
        QString service;
        QString path;
    };
    QList<Accessible> children(const Accessible& parent)
    {
        const QDBusMessage reply = m_accessibility.call(
            QDBusMessage::createMethodCall(parent.service, parent.path, "org.a11y.atspi.Accessible", "GetChildren"));
        QList<Accessible> found;
        if (reply.type() != QDBusMessage::ReplyMessage)
            return found;
        const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            Accessible child;
            QDBusObjectPath path;
            list.beginStructure();
            list >> child.service >> path;
            list.endStructure();
            child.path = path.path();
            found << child;
        }
        list.endArray();
        return found;
    }
    QString name(const Accessible& object)
    {
        QDBusMessage get = QDBusMessage::createMethodCall(object.service, object.path, "org.freedesktop.DBus.Properties", "Get");
        get << QStringLiteral("org.a11y.atspi.Accessible") << QStringLiteral("Name");
        const QDBusReply<QDBusVariant> reply = m_accessibility.call(get);
        return reply.isValid() ? reply.value().variant().toString() : QString();
    }
    QString role(const Accessible& object)
    {
        const QDBusReply<QString> reply = m_accessibility.call(
            QDBusMessage::createMethodCall(object.service, object.path, "org.a11y.atspi.Accessible", "GetRoleName"));
        return reply.isValid() ? reply.value() : QString();
    }
    // The first object of that role whose name ends with objectName, in the program's tree.
    Accessible findAccessible(const QString& program, const QString& objectName, const QString& objectRole)
    {
        if (!m_accessibility.isConnected()) {
            const QDBusReply<QString> address = m_bus.call(
                QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
            if (!address.isValid())
                return {};
            m_accessibility = QDBusConnection::connectToBus(address.value(), QStringLiteral("headless-gnome-a11y"));
        }
        for (const Accessible& application : children({"org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"})) {
            if (name(application) != program)
                continue;
            QList<Accessible> queue = children(application);
            while (!queue.isEmpty()) {
                const Accessible object = queue.takeFirst();
                if (role(object) == objectRole && name(object).endsWith(objectName))
                    return object;
                queue << children(object);
            }
        }
        return {};
    }
    QString logPath() const { return m_dir.path() + "/session.log"; }
    QString lastLines() const
    {
        // The bus's own complaints (an fd limit it may not raise) are not mutter's reason.
        const QStringList lines = QString::fromUtf8(readFile(logPath()))
                                      .split('\n', Qt::SkipEmptyParts)
                                      .filter(QRegularExpression("^(?!dbus-daemon\\[)"));
        return lines.isEmpty() ? QStringLiteral("mutter ended without a word") : lines.mid(lines.size() - 2).join('\n');
    }
    bool openKeyboard()
    {
        const QDBusReply<QDBusObjectPath> session = m_bus.call(
            QDBusMessage::createMethodCall("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                                           "org.gnome.Mutter.RemoteDesktop", "CreateSession"));
        if (!session.isValid())
            return false;
        const QDBusMessage started = m_bus.call(QDBusMessage::createMethodCall(
            "org.gnome.Mutter.RemoteDesktop", session.value().path(), "org.gnome.Mutter.RemoteDesktop.Session", "Start"));
        if (started.type() == QDBusMessage::ErrorMessage)
            return false;
        m_keyboard = session.value().path();
        // The session's first key is lost, and until one has come mutter gives no window
        // the focus: spend it on a lone Shift.
        return notifyKey(shiftKeysym, true) && notifyKey(shiftKeysym, false);
    }
    bool notifyKey(uint keysym, bool pressed)
    {
        QDBusMessage key = QDBusMessage::createMethodCall("org.gnome.Mutter.RemoteDesktop", m_keyboard,
                                                          "org.gnome.Mutter.RemoteDesktop.Session",
                                                          "NotifyKeyboardKeysym");
        key << keysym << pressed;
        return m_bus.call(key).type() != QDBusMessage::ErrorMessage;
    }

    QTemporaryDir m_dir;
    QProcess m_session;
    QDBusConnection m_bus{QString()};
    QDBusConnection m_accessibility{QString()};
    QProcessEnvironment m_environment;
    QString m_keyboard;
    QString m_problem;
    QString m_failure;
};
