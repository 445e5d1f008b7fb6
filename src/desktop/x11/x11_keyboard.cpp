#include "x11_keyboard.h"

#include "x11_key_map.h"

#include <algorithm>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace {

constexpr uint32_t controlLKeysym = 0xffe3;
constexpr uint32_t numLockKeysym = 0xff7f;
constexpr uint8_t controlLFallback = 29 + 8; // evdev KEY_LEFTCTRL
constexpr uint32_t shiftLKeysym = 0xffe1;
constexpr uint8_t shiftLFallback = 42 + 8; // evdev KEY_LEFTSHIFT
constexpr int lockRow = 1;                    // the modifier-mapping row of Lock

struct ModifierMapping {
    std::vector<std::vector<uint8_t>> rows; // Shift, Lock, Control, Mod1 .. Mod5
};

ModifierMapping modifierMapping(xcb_connection_t* connection, xcb_get_modifier_mapping_cookie_t asked)
{
    ModifierMapping mapping;
    xcb_get_modifier_mapping_reply_t* reply = xcb_get_modifier_mapping_reply(connection, asked, nullptr);
    if (!reply)
        return mapping;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perRow = reply->keycodes_per_modifier;
    mapping.rows.resize(8);
    for (int row = 0; row < 8; ++row) {
        for (int i = 0; i < perRow; ++i) {
            const xcb_keycode_t code = codes[row * perRow + i];
            if (code != 0)
                mapping.rows[size_t(row)].push_back(code);
        }
    }
    std::free(reply);
    return mapping;
}

// The keyboard mapping, fetched once for as many lookups as its holder makes.
class KeySymbols {
public:
    explicit KeySymbols(xcb_connection_t* connection) : m_symbols(xcb_key_symbols_alloc(connection)) {}
    ~KeySymbols()
    {
        if (m_symbols)
            xcb_key_symbols_free(m_symbols);
    }
    KeySymbols(const KeySymbols&) = delete;
    KeySymbols& operator=(const KeySymbols&) = delete;

    std::optional<uint8_t> keyCodeFor(uint32_t keysym) const
    {
        if (!m_symbols)
            return std::nullopt;
        std::optional<uint8_t> result;
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, keysym);
        if (codes && codes[0] != XCB_NO_SYMBOL)
            result = codes[0];
        std::free(codes);
        return result;
    }

private:
    xcb_key_symbols_t* m_symbols;
};

} // namespace

X11Keyboard::X11Keyboard(std::shared_ptr<X11Display> display, std::shared_ptr<X11KeyboardGrab> grab)
    : m_display(std::move(display)), m_grab(std::move(grab))
{
}

void X11Keyboard::send(const std::function<void()>& fakeKeys) const
{
    if (m_grab) {
        m_grab->passThrough(fakeKeys);
        return;
    }
    fakeKeys();
    m_display->flush();
}

bool X11Keyboard::isKeyDown(uint8_t keyCode) const
{
    xcb_connection_t* c = m_display->connection();
    xcb_query_keymap_reply_t* keymap = xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr);
    const bool down = keymap && (keymap->keys[keyCode / 8] & (1 << (keyCode % 8)));
    std::free(keymap);
    return down;
}

std::vector<uint8_t> X11Keyboard::heldKeys() const
{
    xcb_connection_t* c = m_display->connection();
    xcb_query_keymap_reply_t* keymap = xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr);
    if (!keymap)
        return {};
    std::vector<uint8_t> held;
    for (int code = 8; code < 256; ++code)
        if (keymap->keys[code / 8] & (1 << (code % 8)))
            held.push_back(uint8_t(code));
    std::free(keymap);
    return held;
}

std::vector<uint8_t> X11Keyboard::heldModifierKeys() const
{
    xcb_connection_t* c = m_display->connection();
    // Both asked before either answer is awaited: one round trip, not two.
    const xcb_query_keymap_cookie_t keymapAsked = xcb_query_keymap(c);
    const xcb_get_modifier_mapping_cookie_t mappingAsked = xcb_get_modifier_mapping(c);
    const ModifierMapping mapping = modifierMapping(c, mappingAsked);
    xcb_query_keymap_reply_t* keymap = xcb_query_keymap_reply(c, keymapAsked, nullptr);
    if (!keymap)
        return {};
    std::vector<uint8_t> held;
    for (size_t row = 0; row < mapping.rows.size(); ++row) {
        if (int(row) == lockRow)
            continue;
        for (const uint8_t code : mapping.rows[row]) {
            const bool down = keymap->keys[code / 8] & (1 << (code % 8));
            if (down && std::find(held.begin(), held.end(), code) == held.end())
                held.push_back(code);
        }
    }
    std::free(keymap);
    return held;
}

void X11Keyboard::releaseKeys(const std::vector<uint8_t>& keyCodes) const
{
    send([&] {
        for (const uint8_t code : keyCodes)
            fakeKey(XCB_KEY_RELEASE, code);
    });
}

void X11Keyboard::sendControlChord(uint32_t keysym, uint8_t fallbackKeyCode, bool withShift) const
{
    // Looked up once, on the first chord after the keyboard mapping last changed.
    if (!m_chordKeys.contains(keysym)) {
        const KeySymbols symbols(m_display->connection());
        m_chordKeys.insert(controlLKeysym, symbols.keyCodeFor(controlLKeysym).value_or(controlLFallback));
        m_chordKeys.insert(shiftLKeysym, symbols.keyCodeFor(shiftLKeysym).value_or(shiftLFallback));
        m_chordKeys.insert(keysym, symbols.keyCodeFor(keysym).value_or(fallbackKeyCode));
    }
    const uint8_t control = m_chordKeys.value(controlLKeysym);
    const uint8_t shift = m_chordKeys.value(shiftLKeysym);
    const uint8_t key = m_chordKeys.value(keysym);
    send([&] {
        fakeKey(XCB_KEY_PRESS, control);
        if (withShift)
            fakeKey(XCB_KEY_PRESS, shift);
        fakeKey(XCB_KEY_PRESS, key);
        fakeKey(XCB_KEY_RELEASE, key);
        if (withShift)
            fakeKey(XCB_KEY_RELEASE, shift);
        fakeKey(XCB_KEY_RELEASE, control);
    });
}

uint16_t X11Keyboard::numLockMask() const
{
    const std::optional<uint8_t> numLock = keyCodeFor(numLockKeysym);
    if (numLock) {
        xcb_connection_t* c = m_display->connection();
        const ModifierMapping mapping = modifierMapping(c, xcb_get_modifier_mapping(c));
        for (size_t row = 0; row < mapping.rows.size(); ++row) {
            const auto& codes = mapping.rows[row];
            if (std::find(codes.begin(), codes.end(), *numLock) != codes.end())
                return uint16_t(1u << row);
        }
    }
    return X11KeyMap::mod2Mask;
}

std::optional<uint8_t> X11Keyboard::keyCodeFor(uint32_t keysym) const
{
    return KeySymbols(m_display->connection()).keyCodeFor(keysym);
}

void X11Keyboard::fakeKey(uint8_t type, uint8_t keyCode) const
{
    xcb_test_fake_input(m_display->connection(), type, keyCode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}
