#pragma once

#include <QString>
#include <cstdint>

// How a recorded hotkey is shown to the user and the mask the hot-key facility expects.
// Only the four modifier bits of ModifierFlag are read; every other bit is ignored.
namespace HotkeyDisplay {

// Carbon mask bits, the unit the hotkey backends take.
inline constexpr uint32_t cmdKey = 0x100;
inline constexpr uint32_t shiftKey = 0x200;
inline constexpr uint32_t optionKey = 0x800;
inline constexpr uint32_t controlKey = 0x1000;

uint32_t carbonModifiers(uint32_t modifierFlags);
// "⌃⌥⇧⌘" order; empty without modifiers.
QString modifierSymbols(uint64_t modifierFlags);
// Name of a virtual key code; "Key" + the code for codes without a name.
QString keyName(uint16_t keyCode);
// Symbols followed directly by the key name, e.g. "⌘⇧Space".
QString displayString(uint16_t keyCode, uint64_t modifierFlags);

// The way Linux desktops write a combination: "Ctrl+Alt+F1", "Super+Shift+Space".
// What is stored keeps the symbols above; only what the user reads goes through here.
QString linuxLabel(uint16_t keyCode, uint64_t modifierFlags);
// The same for a stored display string such as "⌘⇧G" (shortcuts that only have their
// label); text without leading modifier symbols comes back unchanged.
QString linuxLabel(const QString& displayString);

} // namespace HotkeyDisplay
