#include "hotkey_display.h"

#include "hotkey_config.h"

#include <QStringList>

#include <algorithm>
#include <optional>
#include <array>
#include <utility>

namespace HotkeyDisplay {

namespace {

struct KeyNameEntry {
    uint16_t code;
    const char* name;
};

// Virtual key codes of the standard Apple layout (physical positions).
constexpr std::array<KeyNameEntry, 68> keyNames{{
    {0, "A"},        {1, "S"},       {2, "D"},     {3, "F"},      {4, "H"},      {5, "G"},
    {6, "Z"},        {7, "X"},       {8, "C"},     {9, "V"},      {11, "B"},     {12, "Q"},
    {13, "W"},       {14, "E"},      {15, "R"},    {16, "Y"},     {17, "T"},     {18, "1"},
    {19, "2"},       {20, "3"},      {21, "4"},    {22, "6"},     {23, "5"},     {24, "="},
    {25, "9"},       {26, "7"},      {27, "-"},    {28, "8"},     {29, "0"},     {30, "]"},
    {31, "O"},       {32, "U"},      {33, "["},    {34, "I"},     {35, "P"},     {36, "Return"},
    {37, "L"},       {38, "J"},      {39, "'"},    {40, "K"},     {41, ";"},     {42, "\\"},
    {43, ","},       {44, "/"},      {45, "N"},    {46, "M"},     {47, "."},     {48, "Tab"},
    {49, "Space"},   {50, "`"},      {51, "Delete"}, {53, "Escape"}, {96, "F5"}, {97, "F6"},
    {98, "F7"},      {99, "F3"},     {100, "F8"},  {101, "F9"},   {103, "F11"},  {105, "F13"},
    {106, "F16"},    {107, "F14"},   {109, "F10"}, {111, "F12"},  {113, "F15"},  {118, "F4"},
    {120, "F2"},     {122, "F1"},
}};

// Linux names of the keys the Apple names above miss or name otherwise (51, "Delete", is
// Backspace). Codes from 128 up are keys without an Apple code (see X11KeyMap).
constexpr std::array<KeyNameEntry, 50> linuxKeyNames{{
    {10, "<"},            {51, "Backspace"},     {64, "F17"},
    {65, "Keypad ."},     {67, "Keypad *"},      {69, "Keypad +"},      {71, "Num Lock"},
    {72, "Volume Up"},    {73, "Volume Down"},   {74, "Mute"},          {75, "Keypad /"},
    {76, "Keypad Enter"}, {78, "Keypad -"},      {79, "F18"},           {80, "F19"},
    {81, "Keypad ="},     {82, "Keypad 0"},      {83, "Keypad 1"},      {84, "Keypad 2"},
    {85, "Keypad 3"},     {86, "Keypad 4"},      {87, "Keypad 5"},      {88, "Keypad 6"},
    {89, "Keypad 7"},     {90, "F20"},           {91, "Keypad 8"},      {92, "Keypad 9"},
    {93, "Yen"},          {94, "Ro"},            {95, "Keypad ,"},      {102, "Eisu"},
    {104, "Kana"},        {110, "Menu"},         {114, "Insert"},       {115, "Home"},
    {116, "Page Up"},     {117, "Delete"},       {119, "End"},          {121, "Page Down"},
    {123, "Left"},        {124, "Right"},        {125, "Down"},         {126, "Up"},
    {128, "Print"},       {129, "Pause"},        {130, "Scroll Lock"},  {131, "F21"},
    {132, "F22"},         {133, "F23"},          {134, "F24"},
}};

struct ModifierName {
    uint64_t flag;
    QChar symbol;
    const char* name;
};

// Word order of the labels. Super goes before Shift, as desktops write the
// palette's own combination ("Super+Shift+Space").
constexpr std::array<ModifierName, 4> modifierNames{{
    {ModifierFlag::control, u'⌃', "Ctrl"},
    {ModifierFlag::option, u'⌥', "Alt"},
    {ModifierFlag::command, u'⌘', "Super"},
    {ModifierFlag::shift, u'⇧', "Shift"},
}};

const char* lookUp(const auto& table, uint16_t keyCode)
{
    for (const KeyNameEntry& entry : table) {
        if (entry.code == keyCode)
            return entry.name;
    }
    return nullptr;
}

QString linuxKeyName(uint16_t keyCode)
{
    if (const char* name = lookUp(linuxKeyNames, keyCode))
        return QString::fromLatin1(name);
    return keyName(keyCode);
}

// The key code behind a key name of a stored display string, the way keyName wrote it.
std::optional<uint16_t> keyCodeNamed(const QString& name)
{
    for (const KeyNameEntry& entry : keyNames) {
        if (name == QLatin1String(entry.name))
            return entry.code;
    }
    bool ok = false;
    const uint code = name.startsWith(QLatin1String("Key")) ? name.mid(3).toUInt(&ok) : 0;
    return ok && code <= 0xFFFF ? std::make_optional(uint16_t(code)) : std::nullopt;
}

QString joinLabel(uint64_t modifierFlags, const QString& key)
{
    QStringList parts;
    for (const ModifierName& m : modifierNames) {
        if (modifierFlags & m.flag)
            parts << QString::fromLatin1(m.name);
    }
    parts << key;
    return parts.join(QLatin1Char('+'));
}

} // namespace

uint32_t carbonModifiers(uint32_t modifierFlags)
{
    uint32_t mask = 0;
    if (modifierFlags & ModifierFlag::shift)
        mask |= shiftKey;
    if (modifierFlags & ModifierFlag::control)
        mask |= controlKey;
    if (modifierFlags & ModifierFlag::option)
        mask |= optionKey;
    if (modifierFlags & ModifierFlag::command)
        mask |= cmdKey;
    return mask;
}

QString modifierSymbols(uint64_t modifierFlags)
{
    QString symbols;
    if (modifierFlags & ModifierFlag::control)
        symbols += QStringLiteral("⌃");
    if (modifierFlags & ModifierFlag::option)
        symbols += QStringLiteral("⌥");
    if (modifierFlags & ModifierFlag::shift)
        symbols += QStringLiteral("⇧");
    if (modifierFlags & ModifierFlag::command)
        symbols += QStringLiteral("⌘");
    return symbols;
}

QString keyName(uint16_t keyCode)
{
    if (const char* name = lookUp(keyNames, keyCode))
        return QString::fromLatin1(name);
    return QStringLiteral("Key") + QString::number(keyCode);
}

QString displayString(uint16_t keyCode, uint64_t modifierFlags)
{
    return modifierSymbols(modifierFlags) + keyName(keyCode);
}


QString linuxLabel(uint16_t keyCode, uint64_t modifierFlags)
{
    return joinLabel(modifierFlags, linuxKeyName(keyCode));
}

QString linuxLabel(const QString& displayString)
{
    uint64_t flags = 0;
    qsizetype i = 0;
    for (; i < displayString.size(); ++i) {
        const auto it = std::find_if(modifierNames.cbegin(), modifierNames.cend(),
                                     [&](const ModifierName& m) { return m.symbol == displayString[i]; });
        if (it == modifierNames.cend())
            break;
        flags |= it->flag;
    }
    if (flags == 0 || i == displayString.size())
        return displayString;
    const QString key = displayString.mid(i);
    const std::optional<uint16_t> code = keyCodeNamed(key);
    return joinLabel(flags, code ? linuxKeyName(*code) : key);
}

} // namespace HotkeyDisplay
