#include "fake_portal.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace {
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

QString senderPart(const QString& uniqueName)
{
    QString part = uniqueName.mid(1);
    return part.replace(QLatin1Char('.'), QLatin1Char('_'));
}
} // namespace

FakePortal::FakePortal(const QString& busAddress, uint shortcutsVersion, uint remoteDesktopVersion)
    : m_connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-portal"))),
      m_shortcutsVersion(shortcutsVersion), m_remoteDesktopVersion(remoteDesktopVersion)
{
    m_registered = m_connection.isConnected()
        && m_connection.registerVirtualObject(portalPath, this, QDBusConnection::SubPath)
        && m_connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

FakePortal::~FakePortal()
{
    m_connection.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    m_connection.unregisterObject(portalPath, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
}

void FakePortal::answer(const QString& member, uint response, const QVariantMap& results)
{
    m_silent.remove(member);
    m_answers[member] = {response, results};
}

void FakePortal::emitSignal(const QString& interface, const QString& name, const QVariantList& arguments)
{
    QDBusMessage signal = QDBusMessage::createSignal(portalPath, interface, name);
    signal.setArguments(arguments);
    m_connection.send(signal);
}

QStringList FakePortal::members() const
{
    QStringList names;
    for (const Call& call : m_calls)
        names << call.member;
    return names;
}

QVariantMap FakePortal::lastOptions(const QString& member) const
{
    for (auto it = m_calls.crbegin(); it != m_calls.crend(); ++it)
        if (it->member == member && !it->arguments.isEmpty())
            return qdbus_cast<QVariantMap>(it->arguments.constLast());
    return {};
}

bool FakePortal::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    QDBusConnection bus = connection;
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
        const QString interface = message.arguments().value(0).toString();
        const uint version = interface.endsWith(QLatin1String("GlobalShortcuts")) ? m_shortcutsVersion
            : interface.endsWith(QLatin1String("RemoteDesktop"))                 ? m_remoteDesktopVersion
                                                                                  : 0;
        bus.send(version ? message.createReply(QVariant::fromValue(QDBusVariant(version)))
                         : message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such interface")));
        return true;
    }
    m_calls.append({message.member(), message.arguments(), message.path()});
    const QVariantMap options = message.arguments().isEmpty() ? QVariantMap()
                                                               : qdbus_cast<QVariantMap>(message.arguments().constLast());
    const QString token = options.value(QStringLiteral("handle_token")).toString();
    if (token.isEmpty()) { // Close, NotifyKeyboardKeysym: plain methods
        bus.send(message.createReply());
        return true;
    }
    const QString sender = senderPart(message.service());
    const QString request = QStringLiteral("%1/request/%2/%3").arg(portalPath, sender, token);
    bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    if (m_silent.contains(message.member()))
        return true;
    auto [response, results] = m_answers.value(message.member(), {0u, QVariantMap()});
    if (message.member() == QLatin1String("CreateSession"))
        results.insert(QStringLiteral("session_handle"),
                       QStringLiteral("%1/session/%2/%3")
                           .arg(portalPath, sender, options.value(QStringLiteral("session_handle_token")).toString()));
    QDBusMessage signal = QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"),
                                                     QStringLiteral("Response"));
    signal << response << results;
    bus.send(signal);
    return true;
}
