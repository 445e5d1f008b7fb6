#pragma once

#include "hotkey_backend.h"

// For sessions without a global hot-key facility (offscreen, Wayland): every
// registration is refused because no handler can be installed.
class InertHotkeyBackend : public HotkeyBackend {
public:
    static constexpr Status unsupported = -1;

    Status installHandler(PressHandler) override { return unsupported; }
    Registration registerHotkey(uint32_t, uint32_t, uint32_t) override { return {unsupported, {}}; }
    void unregisterHotkey(HotkeyRef) override {}
    void removeHandler() override {}
};
