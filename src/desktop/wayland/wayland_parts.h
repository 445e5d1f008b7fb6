#pragma once

#include "portal/portal_offer.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <cstdint>

// A global the compositor offers: its interface name and the highest version it speaks.
struct WaylandGlobal {
    QString interface;
    uint32_t version = 0;
};

// Which protocols Tovalin uses for each job, chosen from what the compositor offers and
// never from the desktop's name.
struct WaylandParts {
    enum class Selection {
        extDataControl, // ext-data-control-v1: PRIMARY without the focus
        wlrDataControl, // zwlr data-control, version 2 or later for PRIMARY
        paletteFocus,   // none of them: only a window with the focus can read PRIMARY
    };

    Selection selection = Selection::paletteFocus;
    // TOVALIN_WAYLAND_SELECTION=focus: the user had data-control left unused (a compositor
    // whose data-control misbehaves), so the palette reads PRIMARY once it has the focus.
    bool focusReadChosen = false;
    // zwlr_foreign_toplevel_manager_v1: the active window and its app_id.
    bool toplevels = false;
    // zwp_virtual_keyboard_v1: the paste chord.
    bool virtualKeyboard = false;
    // The desktop portals (GNOME, KDE): hotkeys, and the paste chord where no virtual
    // keyboard is offered.
    bool portalShortcuts = false;
    bool portalKeyboard = false;
    // The Clipboard portal of the portal keyboard's session, where only the palette could
    // read otherwise: a command hotkey copies the selection through it.
    bool portalClipboard = false;

    static WaylandParts choose(const QList<WaylandGlobal>& offered, const PortalOffer& portals = {},
                               const QProcessEnvironment& environment = {});

    bool readsWithoutFocus() const { return selection != Selection::paletteFocus; }
    // Whether a native Wayland Tovalin can do its work here: read the selection and paste.
    // Without data-control only the palette reads: taken where the desktop's portal types
    // (GNOME offers no other way) or where the user chose it; elsewhere XWayland keeps the
    // command bindings working, in X11 programs.
    bool servesNatively() const
    {
        return portalKeyboard || (virtualKeyboard && (readsWithoutFocus() || focusReadChosen));
    }
    // "selection: ...; active window: ...; paste: ...", for the start line.
    QString describe() const;
};
