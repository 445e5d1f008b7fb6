#pragma once

#include "x11_display.h"
#include "x11_keyboard_grab.h"

#include <QHash>
#include <memory>
#include <optional>
#include <vector>

// Physical key state and synthetic keys (XTEST) on the X server.
class X11Keyboard {
public:
    // Synthetic keys get past the grab when one is given.
    explicit X11Keyboard(std::shared_ptr<X11Display> display,
                         std::shared_ptr<X11KeyboardGrab> grab = nullptr);

    // Modifier keys (Shift, Ctrl, Alt, Super, AltGr, ...) that are down right now.
    std::vector<uint8_t> heldModifierKeys() const;
    // Every key that is down right now.
    std::vector<uint8_t> heldKeys() const;
    void releaseKeys(const std::vector<uint8_t>& keyCodes) const;
    // Ctrl (and Shift) + the key that produces keysym (the key's physical code when no
    // key does), to whatever window has the focus.
    void sendControlChord(uint32_t keysym, uint8_t fallbackKeyCode, bool withShift = false) const;
    // The keyboard mapping changed (MappingNotify): the chords' keys are looked up again.
    void forgetMapping() { m_chordKeys.clear(); }
    // The modifier bit NumLock sets (Mod2 on nearly every layout).
    uint16_t numLockMask() const;
    bool isKeyDown(uint8_t keyCode) const;

private:
    std::optional<uint8_t> keyCodeFor(uint32_t keysym) const;
    void fakeKey(uint8_t type, uint8_t keyCode) const;
    void send(const std::function<void()>& fakeKeys) const;

    std::shared_ptr<X11Display> m_display;
    std::shared_ptr<X11KeyboardGrab> m_grab;
    mutable QHash<uint32_t, uint8_t> m_chordKeys; // keysym -> key code
};
