#include "fake_notification_server.h"

#include <QFile>
#include <QTest>

namespace {
// No service directories: a notification daemon installed on the machine must not be
// started on demand in place of the test's own.
constexpr auto kConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
} // namespace

PrivateSessionBus::PrivateSessionBus()
{
    QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
    if (!m_dir.isValid() || !config.open(QIODevice::WriteOnly) || config.write(kConfig) < 0)
        return;
    config.close();
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
    if (QTest::qWaitFor([&] { return m_daemon.canReadLine(); }, 5000))
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus()
{
    m_daemon.kill();
    m_daemon.waitForFinished();
}

FakeNotificationServer::FakeNotificationServer(const QString& busAddress)
    : m_connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-notifications")))
{
    m_registered = m_connection.isConnected()
        && m_connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)
        && m_connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

FakeNotificationServer::~FakeNotificationServer()
{
    m_connection.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
}

uint FakeNotificationServer::Notify(const QString& appName, uint, const QString&, const QString& summary,
                                    const QString& body, const QStringList& actions, const QVariantMap&, int)
{
    const uint id = uint(m_calls.size()) + 1;
    m_calls.append({appName, summary, body, actions, id});
    return id;
}

void FakeNotificationServer::invokeAction(uint id, const QString& actionKey)
{
    emit ActionInvoked(id, actionKey);
}
