#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
constexpr auto kService = "org.freedesktop.Notifications";
constexpr auto kPath = "/org/freedesktop/Notifications";
constexpr int kExpireMs = 8000;
// Clicking the notification itself; services do not draw it as a button.
constexpr auto kDefaultAction = "default";
} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

void DesktopNotifier::listen()
{
    if (m_listening)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_listening = bus.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kService),
                              QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)))
                  && bus.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kService),
                                 QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint, uint)));
}

void DesktopNotifier::notify(const QString& summary, const QString& body, std::optional<Action> action)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto fallBack = [this, summary, body, action] {
        if (m_fallback)
            m_fallback(summary, body, action);
        emit fellBack();
    };
    if (!bus.isConnected()) {
        fallBack();
        return;
    }
    QStringList actions;
    QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
    int expire = kExpireMs;
    if (action) {
        listen();
        actions << QLatin1String(kDefaultAction) << action->label << action->key << action->label;
        // Long enough to reach the button; the service decides how long that is.
        expire = -1;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                      QLatin1String(kService), QStringLiteral("Notify"));
    call << QStringLiteral("Tovalin") << uint(0) << QStringLiteral("tovalin") << summary << body << actions << hints
         << expire;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, fallBack, action] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply(*watcher);
        if (reply.isError())
            fallBack();
        else if (action)
            m_actions.insert(reply.value(), *action);
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString& key)
{
    const auto it = m_actions.constFind(id);
    if (it == m_actions.cend() || (key != it->key && key != QLatin1String(kDefaultAction)))
        return;
    const Action action = m_actions.take(id);
    if (action.run)
        action.run();
}

void DesktopNotifier::notificationClosed(uint id, uint)
{
    m_actions.remove(id);
}
