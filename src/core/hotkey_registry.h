#pragma once

#include <QString>
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
    // Why the window system would refuse the combination now, as the user reads it ("Taken
    // by another program"); empty when it would grant it, or cannot tell. Our own
    // registrations do not count.
    virtual QString refusalReason(uint16_t, uint32_t) { return {}; }
};
