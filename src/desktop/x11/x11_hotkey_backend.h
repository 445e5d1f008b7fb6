#pragma once

#include "hotkey_backend.h"
#include "x11_display.h"
#include "x11_keyboard.h"

#include <QAbstractNativeEventFilter>
#include <map>
#include <memory>
#include <vector>

// Global hotkeys as passive key grabs on the root window. Each combination is grabbed
// once per NumLock/CapsLock state so it still fires with those locks on.
class X11HotkeyBackend : public HotkeyBackend, public QAbstractNativeEventFilter {
public:
    // X error codes reported as the status of a refused registration.
    static constexpr Status badValue = 2;
    static constexpr Status badAccess = 10;

    explicit X11HotkeyBackend(std::shared_ptr<X11Display> display);
    ~X11HotkeyBackend() override;

    Status installHandler(PressHandler onPressed) override;
    Registration registerHotkey(uint32_t keyCode, uint32_t carbonMask, uint32_t id) override;
    void unregisterHotkey(HotkeyRef ref) override;
    void removeHandler() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        uint8_t keyCode;
        uint16_t modifiers;
        uint32_t id;
        std::vector<uint16_t> lockVariants;
    };
    void ungrab(const Grab& grab) const;

    std::shared_ptr<X11Display> m_display;
    X11Keyboard m_keyboard;
    PressHandler m_onPressed;
    bool m_filterInstalled = false;
    std::map<HotkeyRef, Grab> m_grabs;
    HotkeyRef m_nextRef = 1;
};
