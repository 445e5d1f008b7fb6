#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>
#include <cstdint>

// One entry of the GlobalShortcuts portal's a(sa{sv}) lists: an id and its properties
// (description, preferred_trigger; trigger_description in what the desktop bound).
struct PortalShortcut {
    QString id;
    QVariantMap properties;

    // A stored combination in the form desktops read: "SHIFT+LOGO+space". Empty for a
    // key without a name there.
    static QString trigger(uint16_t keyCode, uint32_t carbonMask);
    static void registerTypes();
};

using PortalShortcutList = QList<PortalShortcut>;

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

Q_DECLARE_METATYPE(PortalShortcut)
Q_DECLARE_METATYPE(PortalShortcutList)
