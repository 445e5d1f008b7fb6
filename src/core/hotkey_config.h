#pragma once

#include <QString>
#include <cstdint>

// A recorded key combination. keyCode and modifiers use the stored layout
// (Apple virtual key codes, window-system modifier bits); displayString is
// captured once at recording time and never recomputed.
struct HotkeyConfig {
    uint16_t keyCode = 49;
    uint64_t modifiers = 0x120000;
    QString displayString = QStringLiteral("⌘⇧Space");

    static HotkeyConfig defaultConfig() { return {}; }
    // Why a combination must not be grabbed for the whole desktop, as the user reads it;
    // empty when it may. Shift alone leaves a key typing its letter, and the common editing
    // chords would stop copying, pasting and undoing in every program.
    static QString refusal(uint16_t keyCode, uint64_t modifiers);
    bool operator==(const HotkeyConfig&) const = default;
};

// Modifier bits of the stored layout.
namespace ModifierFlag {
inline constexpr uint64_t shift = 0x20000;
inline constexpr uint64_t control = 0x40000;
inline constexpr uint64_t option = 0x80000;
inline constexpr uint64_t command = 0x100000;
} // namespace ModifierFlag
