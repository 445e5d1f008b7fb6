#pragma once

#include <cstdint>
#include <optional>

// Stored key codes are Apple virtual key codes and X11 key codes are evdev codes + 8;
// both name physical key positions, so one table converts between them.
// Plain numbers only: usable (and testable) without an X connection.
namespace X11KeyMap {

std::optional<uint8_t> x11KeyCode(uint16_t virtualKeyCode);
std::optional<uint16_t> virtualKeyCode(uint8_t x11KeyCode);

// X11 core modifier bits.
inline constexpr uint16_t shiftMask = 1 << 0;
inline constexpr uint16_t lockMask = 1 << 1;
inline constexpr uint16_t controlMask = 1 << 2;
inline constexpr uint16_t mod1Mask = 1 << 3;
inline constexpr uint16_t mod2Mask = 1 << 4;
inline constexpr uint16_t mod4Mask = 1 << 6;
// The modifiers a hotkey can carry; lock keys and the rest are not part of a combination.
inline constexpr uint16_t hotkeyModifierMask = shiftMask | controlMask | mod1Mask | mod4Mask;

// command -> Super (Mod4), option -> Alt (Mod1), control -> Ctrl, shift -> Shift.
uint16_t x11Modifiers(uint32_t carbonMask);

} // namespace X11KeyMap
