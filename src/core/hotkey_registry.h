#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// The global hotkey facility as the store and the application see it.
class HotkeyRegistry {
public:
    using Action = std::function<void()>;
    virtual ~HotkeyRegistry() = default;

    // Replaces the palette hotkey; true when the new one is active.
    virtual bool registerOverlayHotkey(uint32_t keyCode, uint32_t modifiers, Action action) = 0;
    // Adds one command hotkey; its id, or nothing when refused.
    virtual std::optional<uint32_t> registerCommandHotkey(uint16_t keyCode, uint32_t modifiers,
                                                          Action action) = 0;
    virtual void unregisterAllCommandHotkeys() = 0;
    virtual void unregisterAll() = 0;
};
