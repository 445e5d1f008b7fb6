#pragma once

#include "wayland_keymap.h"

#include <initializer_list>
#include <memory>

class WaylandConnection;
struct zwp_virtual_keyboard_v1;

// A keyboard of Tovalin's own on the seat (zwp_virtual_keyboard_v1): its keys reach the
// window with the focus. One for the process's life: wlroots drops the first key a new
// virtual keyboard sends, so a harmless one goes first, once.
class WaylandVirtualKeyboard {
public:
    // Null when the compositor offers no virtual keyboards or no seat.
    static std::unique_ptr<WaylandVirtualKeyboard> create(WaylandConnection& connection);
    ~WaylandVirtualKeyboard();

    // Holds the modifiers, taps the key, lets go of all of them.
    void chord(std::initializer_list<WaylandKeymap::Key> modifiers, WaylandKeymap::Key key);

private:
    WaylandVirtualKeyboard(WaylandConnection& connection, zwp_virtual_keyboard_v1* keyboard);
    void key(WaylandKeymap::Key key, bool down);
    void modifiers(uint32_t mask);

    WaylandConnection& m_connection;
    zwp_virtual_keyboard_v1* m_keyboard;
};
