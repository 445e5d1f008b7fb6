#pragma once

#include "hotkey_backend.h"
#include "x11_display.h"
#include "x11_keyboard.h"
#include "x11_keyboard_grab.h"
#include "x11_kept_keys.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

// Global hotkeys as passive key grabs on the root window. Each combination is grabbed
// once per NumLock/CapsLock state so it still fires with those locks on.
//
// A grab freezes the keyboard at the hotkey's press until we have seen it, so the keys
// typed right after it wait for us to decide where they go: to the palette (the palette
// hotkey takes the whole keyboard) or on to the user's window. One press is one action:
// auto-repeat presses of a key that is still down are not reported, with or without the
// server's detectable auto-repeat.
//
// A combination whose press the X server keeps (Ctrl+Alt+F1 with the usual keymap) is
// grabbed all the same and fires from the raw press, as the grab would have, while no
// client holds the keyboard.
class X11HotkeyBackend : public HotkeyBackend, public QAbstractNativeEventFilter {
public:
    // X error codes reported as the status of a refused registration.
    static constexpr Status badAccess = 10;

    // Presses of keyboardHotkeyId take the keyboard grab before anything else is read.
    explicit X11HotkeyBackend(std::shared_ptr<X11Display> display,
                              std::shared_ptr<X11KeyboardGrab> keyboardGrab = nullptr,
                              std::optional<uint32_t> keyboardHotkeyId = std::nullopt);
    ~X11HotkeyBackend() override;

    Status installHandler(PressHandler onPressed) override;
    Registration registerHotkey(uint32_t keyCode, uint32_t carbonMask, uint32_t id) override;
    void unregisterHotkey(HotkeyRef ref) override;
    Status probe(uint32_t keyCode, uint32_t carbonMask) override;
    void removeHandler() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // How often a held hotkey is looked at while its release has not been seen.
    static constexpr int heldPollMs = 50;

private:
    struct Grab {
        uint8_t keyCode;
        uint16_t modifiers;
        uint32_t id;
        std::vector<uint16_t> lockVariants;
        bool kept = false; // the server keeps its press: fired from the raw one
    };
    // Grabs every lock variant; on a refusal none is kept and the X error is returned.
    Status grabAll(Grab& grab);
    void ungrab(const Grab& grab) const;
    void keyPressed(const Grab& grab, uint8_t keyCode, uint32_t time);
    void keptKeyPressed(const X11KeptKeys::Press& press);
    // Marks the grabs whose press the server keeps and listens for raw presses while any is.
    void followKeymap();
    void pollHeldKeys();

    std::shared_ptr<X11Display> m_display;
    X11Keyboard m_keyboard;
    X11KeptKeys m_keptKeys;
    std::shared_ptr<X11KeyboardGrab> m_keyboardGrab;
    std::optional<uint32_t> m_keyboardHotkeyId;
    PressHandler m_onPressed;
    std::map<HotkeyRef, Grab> m_grabs;
    HotkeyRef m_nextRef = 1;
    // Hotkey keys pressed and not yet released. A release can go to another client (after
    // an ungrab), so while any is listed the key state is also polled.
    std::set<uint8_t> m_held;
    std::map<uint8_t, uint32_t> m_releasedAt;
    QTimer m_heldPoll;
};
