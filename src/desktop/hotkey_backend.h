#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// The window system's global hot-key facility, in the shape of the Carbon calls:
// one press handler, then registrations identified by an id chosen by the caller.
class HotkeyBackend {
public:
    // 0 is success; anything else is the facility's own error code (on X11 the X error,
    // e.g. 10 for BadAccess when another client holds the combination).
    using Status = int32_t;
    using HotkeyRef = uint64_t;
    using PressHandler = std::function<void(uint32_t id)>;

    static constexpr Status noErr = 0;
    // The session has no such facility.
    static constexpr Status unsupported = -1;
    // A key the facility has no code for: no registration of it can ever succeed.
    static constexpr Status unknownKey = -2;

    struct Registration {
        Status status = noErr;
        std::optional<HotkeyRef> ref;
    };

    virtual ~HotkeyBackend() = default;

    // Presses of registered combinations are reported to the handler with their id.
    virtual Status installHandler(PressHandler onPressed) = 0;
    virtual Registration registerHotkey(uint32_t keyCode, uint32_t carbonMask, uint32_t id) = 0;
    virtual void unregisterHotkey(HotkeyRef ref) = 0;
    // What registering the combination would give now, without keeping it; noErr for a
    // combination registered already (it is ours). A facility that cannot tell says noErr.
    virtual Status probe(uint32_t, uint32_t) { return noErr; }
    virtual void removeHandler() = 0;
};
