#include "wayland_virtual_keyboard.h"

#include "wayland_connection.h"

#include <QElapsedTimer>
#include <sys/mman.h>
#include <unistd.h>
#include <virtual-keyboard-unstable-v1-client-protocol.h>
#include <wayland-client.h>

namespace {
uint32_t now()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return uint32_t(clock.elapsed());
}
} // namespace

std::unique_ptr<WaylandVirtualKeyboard> WaylandVirtualKeyboard::create(WaylandConnection& connection)
{
    if (!connection.seat())
        return nullptr;
    auto* manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
        connection.bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    if (!manager)
        return nullptr;
    zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, connection.seat());
    zwp_virtual_keyboard_manager_v1_destroy(manager);

    // The keymap goes over as a file: an anonymous one in memory.
    const QByteArray keymap = WaylandKeymap::text();
    const int fd = ::memfd_create("tovalin-keymap", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, keymap.constData(), size_t(keymap.size())) != keymap.size()) {
        if (fd >= 0)
            ::close(fd);
        zwp_virtual_keyboard_v1_destroy(keyboard);
        return nullptr;
    }
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(keymap.size()));
    ::close(fd);

    std::unique_ptr<WaylandVirtualKeyboard> created(new WaylandVirtualKeyboard(connection, keyboard));
    // The key wlroots drops: Shift alone types nothing.
    created->key(WaylandKeymap::Key::shift, true);
    created->key(WaylandKeymap::Key::shift, false);
    connection.roundtrip();
    return created;
}

WaylandVirtualKeyboard::WaylandVirtualKeyboard(WaylandConnection& connection, zwp_virtual_keyboard_v1* keyboard)
    : m_connection(connection), m_keyboard(keyboard)
{
}

WaylandVirtualKeyboard::~WaylandVirtualKeyboard()
{
    zwp_virtual_keyboard_v1_destroy(m_keyboard);
    m_connection.flush();
}

void WaylandVirtualKeyboard::key(WaylandKeymap::Key key, bool down)
{
    zwp_virtual_keyboard_v1_key(m_keyboard, now(), WaylandKeymap::code(key),
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void WaylandVirtualKeyboard::modifiers(uint32_t mask)
{
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, mask, 0, 0, 0);
}

void WaylandVirtualKeyboard::chord(std::initializer_list<WaylandKeymap::Key> held, WaylandKeymap::Key tapped)
{
    // The compositor passes on the modifier state we state, not what it would work out
    // from the keys: say it with every change.
    uint32_t mask = 0;
    for (WaylandKeymap::Key modifier : held) {
        key(modifier, true);
        mask |= WaylandKeymap::modifierMask(modifier);
        modifiers(mask);
    }
    key(tapped, true);
    key(tapped, false);
    for (WaylandKeymap::Key modifier : held) {
        key(modifier, false);
        mask &= ~WaylandKeymap::modifierMask(modifier);
        modifiers(mask);
    }
    m_connection.flush();
}
