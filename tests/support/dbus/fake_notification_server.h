#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

// A session bus of the test's own (dbus-daemon), so nothing reaches the desktop's.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    // Empty when the daemon could not be started.
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

// Stands in for the desktop's notification service and records each Notify call; a test
// presses a notification's button with invokeAction().
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString appName;
        QString summary;
        QString body;
        QStringList actions; // key, label, key, label, ...
        uint id = 0;
    };

    // Registers as org.freedesktop.Notifications on the bus at address.
    explicit FakeNotificationServer(const QString& busAddress);
    ~FakeNotificationServer() override;
    bool isRegistered() const { return m_registered; }
    const QList<Call>& calls() const { return m_calls; }
    // As the user pressing the button `actionKey` of notification `id`.
    void invokeAction(uint id, const QString& actionKey);

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);

signals:
    void ActionInvoked(uint id, const QString& actionKey);

private:
    QDBusConnection m_connection;
    bool m_registered = false;
    QList<Call> m_calls;
};
