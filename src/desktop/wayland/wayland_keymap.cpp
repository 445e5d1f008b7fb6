#include "wayland_keymap.h"

namespace {
struct KeyEntry {
    WaylandKeymap::Key key;
    const char* name;
    uint32_t evdev;
    const char* symbols;
    uint32_t modifierMask;
};

// The codes of a PC keyboard, so logs and debug tools show familiar keys. Shift and
// Control are the first and third real modifiers of every XKB keymap.
constexpr KeyEntry keys[] = {
    {WaylandKeymap::Key::control, "LCTL", 29, "Control_L", 1u << 2},
    {WaylandKeymap::Key::shift, "LFSH", 42, "Shift_L", 1u << 0},
    {WaylandKeymap::Key::c, "AB03", 46, "c, C", 0},
    {WaylandKeymap::Key::v, "AB04", 47, "v, V", 0},
    {WaylandKeymap::Key::insert, "INS", 110, "Insert", 0},
};

constexpr uint32_t xkbOffset = 8;

const KeyEntry& entry(WaylandKeymap::Key key)
{
    for (const KeyEntry& candidate : keys)
        if (candidate.key == key)
            return candidate;
    return keys[0];
}
} // namespace

QByteArray WaylandKeymap::text()
{
    QByteArray codes;
    QByteArray symbols;
    for (const KeyEntry& key : keys) {
        codes += QByteArray("    <") + key.name + "> = " + QByteArray::number(key.evdev + xkbOffset) + ";\n";
        symbols += QByteArray("    key <") + key.name + "> { [ " + key.symbols + " ] };\n";
    }
    QByteArray text = "xkb_keymap {\n"
                      "  xkb_keycodes \"tovalin\" {\n"
                      "    minimum = 8;\n"
                      "    maximum = 255;\n"
        + codes
        + "  };\n"
          "  xkb_types \"tovalin\" { include \"complete\" };\n"
          "  xkb_compatibility \"tovalin\" { include \"complete\" };\n"
          "  xkb_symbols \"tovalin\" {\n"
        + symbols
        + "    modifier_map Control { <LCTL> };\n"
          "    modifier_map Shift { <LFSH> };\n"
          "  };\n"
          "};\n";
    text.append('\0');
    return text;
}

uint32_t WaylandKeymap::code(Key key)
{
    return entry(key).evdev;
}

uint32_t WaylandKeymap::modifierMask(Key key)
{
    return entry(key).modifierMask;
}
