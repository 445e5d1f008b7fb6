#include "portal_shortcut.h"

#include "hotkey_display.h"

#include <QDBusMetaType>

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

void PortalShortcut::registerTypes()
{
    // The slots that take the portal's signals name these types as text: a type the process
    // has not used yet is unknown by name, and the connection fails.
    qRegisterMetaType<QDBusObjectPath>("QDBusObjectPath");
    qRegisterMetaType<PortalShortcutList>("PortalShortcutList");
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcutList>();
}

QString PortalShortcut::trigger(uint16_t keyCode, uint32_t carbonMask)
{
    // Key names as xkb spells the keysyms: lower-case letters, punctuation by name.
    static const QMap<QString, QString> keysyms{
        {"Space", "space"},       {"Delete", "BackSpace"}, {"=", "equal"},      {"-", "minus"},
        {"]", "bracketright"},    {"[", "bracketleft"},    {"'", "apostrophe"}, {";", "semicolon"},
        {"\\", "backslash"},      {",", "comma"},          {"/", "slash"},      {".", "period"},
        {"`", "grave"},
    };
    QString key = HotkeyDisplay::keyName(keyCode);
    if (key.startsWith(QLatin1String("Key")) && key.size() > 3 && key.at(3).isDigit())
        return {};
    if (key.size() == 1 && key.at(0).isLetter())
        key = key.toLower();
    key = keysyms.value(key, key);
    QStringList parts;
    if (carbonMask & HotkeyDisplay::controlKey)
        parts << QStringLiteral("CTRL");
    if (carbonMask & HotkeyDisplay::optionKey)
        parts << QStringLiteral("ALT");
    if (carbonMask & HotkeyDisplay::shiftKey)
        parts << QStringLiteral("SHIFT");
    if (carbonMask & HotkeyDisplay::cmdKey)
        parts << QStringLiteral("LOGO");
    parts << key;
    return parts.join(QLatin1Char('+'));
}
