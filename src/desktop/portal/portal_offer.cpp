#include "portal_offer.h"

#include "portal_request.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVariant>

namespace {
uint versionOf(const QDBusConnection& bus, const QString& interface, std::chrono::milliseconds timeout)
{
    QDBusMessage get = QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service),
                                                      QString::fromLatin1(PortalRequest::objectPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << interface << QStringLiteral("version");
    // BlockWithGui: a portal served by this very process (tests) can answer meanwhile; it
    // needs the application object.
    const QDBusMessage reply =
        bus.call(get, QCoreApplication::instance() ? QDBus::BlockWithGui : QDBus::Block, int(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toUInt();
}
} // namespace

PortalOffer PortalOffer::probe(const QDBusConnection& bus, std::chrono::milliseconds timeout)
{
    PortalOffer offer;
    if (!bus.isConnected())
        return offer;
    offer.remoteDesktop = versionOf(bus, QStringLiteral("org.freedesktop.portal.RemoteDesktop"), timeout);
    offer.globalShortcuts = versionOf(bus, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), timeout);
    if (offer.remoteDesktop >= 1)
        offer.clipboard = versionOf(bus, QStringLiteral("org.freedesktop.portal.Clipboard"), timeout);
    return offer;
}

const PortalOffer& PortalOffer::session()
{
    static const PortalOffer offer = [] {
        const QString name = QStringLiteral("tovalin-portal-probe");
        const PortalOffer probed = probe(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name));
        QDBusConnection::disconnectFromBus(name);
        return probed;
    }();
    return offer;
}
