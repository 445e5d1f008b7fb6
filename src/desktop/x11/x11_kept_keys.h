#pragma once

#include "x11_display.h"

#include <cstdint>
#include <memory>
#include <optional>

struct xkb_context;
struct xkb_keymap;

// Key presses the X server keeps to itself. With the usual keymap Ctrl+Alt+F1 to F12 run the
// XKB action that switches to a text console: the server acts on the press and hands it to no
// window and no key grab; only the release comes through. XI2 raw events still report such a
// press, so a hotkey on it can fire from those. Which combinations these are is read from the
// keymap (the key's keysym at that level is XF86Switch_VT_n), so with a keymap without the
// console keys (setxkbmap -option srvrkeys:none) they are left to the key grab like any other.
class X11KeptKeys {
public:
    struct Press {
        uint8_t keyCode;
        // Core modifier bits as a grab of the press would have compared them.
        uint16_t modifiers;
        uint32_t time;
    };

    explicit X11KeptKeys(std::shared_ptr<X11Display> display);
    ~X11KeptKeys();
    X11KeptKeys(const X11KeptKeys&) = delete;
    X11KeptKeys& operator=(const X11KeptKeys&) = delete;

    // Whether the server keeps the press of keyCode with exactly these core modifiers.
    bool keeps(uint8_t keyCode, uint16_t modifiers);
    // Raw presses are asked for only while a hotkey needs them: otherwise every key typed
    // anywhere on the desktop would wake us.
    void listen(bool on);
    // Keeps up with the XKB state and keymap; true when the keymap changed. The event is an
    // xcb_generic_event_t, as a native event filter gets it.
    bool follow(const void* event);
    // The event as a raw key press, or nothing.
    std::optional<Press> rawPress(const void* event) const;
    // No client, this one included, holds the keyboard: asked the way another program would,
    // by trying to grab it from a connection of our own.
    bool keyboardIsFree();

private:
    void readState();

    std::shared_ptr<X11Display> m_display;
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr; // read again when first needed after a change
    int32_t m_device = -1;
    uint8_t m_xkbEvent = 0;
    uint8_t m_xinputOpcode = 0;
    bool m_listening = false;
    uint16_t m_grabModifiers = 0;
    uint8_t m_group = 0;
    struct xcb_connection_t* m_probe = nullptr;
};
