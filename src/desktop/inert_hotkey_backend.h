#pragma once

#include "hotkey_backend.h"

// For sessions without a global hot-key facility (offscreen, Wayland): every
// registration is refused because no handler can be installed.
class InertHotkeyBackend : public HotkeyBackend {
public:
    Status installHandler(PressHandler) override { return unsupported; }
    Registration registerHotkey(uint32_t, uint32_t, uint32_t) override { return {unsupported, {}}; }
    void unregisterHotkey(HotkeyRef) override {}
    Status probe(uint32_t, uint32_t) override { return unsupported; }
    void removeHandler() override {}
};
