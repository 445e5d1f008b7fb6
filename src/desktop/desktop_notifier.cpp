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
} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

void DesktopNotifier::notify(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto fallBack = [this, summary, body] {
        if (m_fallback)
            m_fallback(summary, body);
        emit fellBack();
    };
    if (!bus.isConnected()) {
        fallBack();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                      QLatin1String(kService), QStringLiteral("Notify"));
    call << QStringLiteral("Tovalin") << uint(0) << QStringLiteral("tovalin") << summary << body
         << QStringList() << QVariantMap{{QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}}
         << kExpireMs;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, fallBack] {
        watcher->deleteLater();
        if (QDBusPendingReply<uint>(*watcher).isError())
            fallBack();
    });
}
