#include "hotkey_config.h"

#include <algorithm>
#include <array>

namespace {
// A, S, F, Z, X, C, V and Y: select all, save, find, undo, cut, copy, paste and redo.
constexpr std::array<uint16_t, 8> editingKeys{0, 1, 3, 6, 7, 8, 9, 16};
constexpr uint64_t modifierBits = ModifierFlag::shift | ModifierFlag::control | ModifierFlag::option
    | ModifierFlag::command;
} // namespace

QString HotkeyConfig::refusal(uint16_t keyCode, uint64_t modifiers)
{
    modifiers &= modifierBits;
    if (modifiers == ModifierFlag::shift)
        return QStringLiteral("Shift alone still types: add Ctrl, Alt or Super");
    const bool editingChord = (modifiers & ~ModifierFlag::shift) == ModifierFlag::control
        && std::find(editingKeys.cbegin(), editingKeys.cend(), keyCode) != editingKeys.cend();
    if (editingChord)
        return QStringLiteral("Kept for copying, pasting and undoing in every program");
    return {};
}
