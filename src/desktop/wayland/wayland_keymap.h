#pragma once

#include <QByteArray>
#include <cstdint>

// The keymap of Tovalin's virtual keyboard: only the keys of its chords, so that what
// they type does not depend on the user's layout.
class WaylandKeymap {
public:
    enum class Key { control, shift, c, v, insert };

    // xkbcommon keymap text, ending in the NUL the compositor expects.
    static QByteArray text();
    // The key's code as the virtual keyboard sends it (evdev: the XKB code less 8).
    static uint32_t code(Key key);
    // The modifier the key sets while it is down; 0 for the others.
    static uint32_t modifierMask(Key key);
};
