#include "wayland_connection.h"

#include "console.h"

#include <QSocketNotifier>
#include <wayland-client.h>

const wl_registry_listener WaylandConnection::registryListener{&WaylandConnection::onGlobal,
                                                               &WaylandConnection::onGlobalRemove};

std::unique_ptr<WaylandConnection> WaylandConnection::open(const QString& socket)
{
    wl_display* display = wl_display_connect(socket.isEmpty() ? nullptr : socket.toLocal8Bit().constData());
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    connection->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(connection->m_registry, &registryListener, connection.get());
    if (!connection->roundtrip())
        return nullptr;
    connection->m_seat = static_cast<wl_seat*>(connection->bind(&wl_seat_interface, 1));
    connection->m_notifier = new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read, connection.get());
    connect(connection->m_notifier, &QSocketNotifier::activated, connection.get(), &WaylandConnection::readEvents);
    return connection;
}

std::optional<QList<WaylandGlobal>> WaylandConnection::probe(const QString& socket)
{
    wl_display* display = wl_display_connect(socket.isEmpty() ? nullptr : socket.toLocal8Bit().constData());
    if (!display)
        return std::nullopt;
    WaylandConnection connection(display);
    connection.m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(connection.m_registry, &registryListener, &connection);
    if (!connection.roundtrip())
        return std::nullopt;
    return connection.m_globals;
}

WaylandConnection::WaylandConnection(wl_display* display) : m_display(display) {}

WaylandConnection::~WaylandConnection()
{
    delete m_notifier;
    if (m_seat)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_seat));
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

void WaylandConnection::onGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
{
    auto* self = static_cast<WaylandConnection*>(data);
    const WaylandGlobal global{QString::fromLatin1(interface), version};
    self->m_offered.append({name, global});
    self->m_globals.append(global);
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry*, uint32_t name)
{
    auto* self = static_cast<WaylandConnection*>(data);
    for (qsizetype i = 0; i < self->m_offered.size(); ++i)
        if (self->m_offered[i].name == name) {
            self->m_offered.removeAt(i);
            self->m_globals.removeAt(i);
            return;
        }
}

void* WaylandConnection::bind(const wl_interface* interface, uint32_t version)
{
    const QString name = QString::fromLatin1(interface->name);
    for (const Global& offered : std::as_const(m_offered))
        if (offered.global.interface == name)
            return wl_registry_bind(m_registry, offered.name, interface, std::min(version, offered.global.version));
    return nullptr;
}

bool WaylandConnection::roundtrip()
{
    return wl_display_roundtrip(m_display) >= 0;
}

void WaylandConnection::flush()
{
    wl_display_flush(m_display);
}

void WaylandConnection::readEvents()
{
    // Events another call (a roundtrip) already queued are dispatched first, as the
    // read protocol asks.
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0) {
        Console::line(QStringLiteral("The Wayland connection broke; selection and paste stop working"));
        m_notifier->setEnabled(false);
        return;
    }
    wl_display_flush(m_display);
}
