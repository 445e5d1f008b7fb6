#include "x11_display.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

std::shared_ptr<X11Display> X11Display::fromQt()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection() || xcb_connection_has_error(x11->connection()))
        return nullptr;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    if (!screens.rem)
        return nullptr;
    return std::make_shared<X11Display>(connection, screens.data->root);
}

X11Display::X11Display(xcb_connection_t* connection, uint32_t root)
    : m_connection(connection), m_root(root)
{
}

bool X11Display::hasCompositor() const
{
    const uint32_t selection = atom(QByteArrayLiteral("_NET_WM_CM_S0"));
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

bool X11Display::hasXTest() const
{
    if (xcb_connection_has_error(m_connection))
        return false;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_test_id);
    return extension && extension->present;
}

uint32_t X11Display::atom(const QByteArray& name) const
{
    if (auto it = m_atoms.constFind(name); it != m_atoms.constEnd())
        return *it;
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()),
        nullptr);
    const uint32_t value = reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
    std::free(reply);
    if (value != XCB_ATOM_NONE)
        m_atoms.insert(name, value);
    return value;
}

std::optional<uint32_t> X11Display::property32(uint32_t window, uint32_t property, uint32_t type) const
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 1), nullptr);
    std::optional<uint32_t> value;
    if (reply && reply->type == type && reply->format == 32
        && xcb_get_property_value_length(reply) >= 4) {
        value = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
    }
    std::free(reply);
    return value;
}

uint32_t X11Display::clientBits(uint32_t xid) const
{
    return xid & ~xcb_get_setup(m_connection)->resource_id_mask;
}

void X11Display::flush() const
{
    xcb_flush(m_connection);
}

const xcb_key_press_event_t* X11Display::rootKeyPress(const QByteArray& eventType, const void* message) const
{
    if (eventType != "xcb_generic_event_t")
        return nullptr;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return nullptr;
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    return press->event == m_root ? press : nullptr;
}
