#include "wayland_parts.h"

namespace {
uint32_t offeredVersion(const QList<WaylandGlobal>& offered, QLatin1String interface)
{
    uint32_t version = 0;
    for (const WaylandGlobal& global : offered)
        if (global.interface == interface)
            version = std::max(version, global.version);
    return version;
}
} // namespace

WaylandParts WaylandParts::choose(const QList<WaylandGlobal>& offered, const PortalOffer& portals,
                                  const QProcessEnvironment& environment)
{
    WaylandParts parts;
    // The standard protocol first; the wlr one only from version 2, which added PRIMARY.
    if (offeredVersion(offered, QLatin1String("ext_data_control_manager_v1")) >= 1)
        parts.selection = Selection::extDataControl;
    else if (offeredVersion(offered, QLatin1String("zwlr_data_control_manager_v1")) >= 2)
        parts.selection = Selection::wlrDataControl;
    parts.focusReadChosen =
        environment.value(QStringLiteral("TOVALIN_WAYLAND_SELECTION")).compare(QLatin1String("focus"), Qt::CaseInsensitive) == 0;
    if (parts.focusReadChosen)
        parts.selection = Selection::paletteFocus;
    parts.toplevels = offeredVersion(offered, QLatin1String("zwlr_foreign_toplevel_manager_v1")) >= 1;
    // Keys need a seat to go to.
    parts.virtualKeyboard = offeredVersion(offered, QLatin1String("zwp_virtual_keyboard_manager_v1")) >= 1
        && offeredVersion(offered, QLatin1String("wl_seat")) >= 1;
    parts.portalShortcuts = portals.globalShortcuts >= 1;
    parts.portalKeyboard = !parts.virtualKeyboard && portals.remoteDesktop >= 1;
    parts.portalClipboard = parts.portalKeyboard && !parts.readsWithoutFocus() && portals.clipboard >= 1;
    return parts;
}

QString WaylandParts::describe() const
{
    QString selectionPart;
    switch (selection) {
    case Selection::extDataControl:
        selectionPart = QStringLiteral("ext-data-control");
        break;
    case Selection::wlrDataControl:
        selectionPart = QStringLiteral("wlr-data-control");
        break;
    case Selection::paletteFocus:
        selectionPart = QStringLiteral("PRIMARY once a window of Tovalin's has the focus (%1): the palette, or a small one a command's hotkey shows for a moment")
                            .arg(focusReadChosen ? QStringLiteral("TOVALIN_WAYLAND_SELECTION=focus")
                                                 : QStringLiteral("no data-control"));
        break;
    }
    return QStringLiteral("selection: %1; active window: %2; paste: %3")
        .arg(selectionPart,
             toplevels ? QStringLiteral("wlr-foreign-toplevel")
                       : QStringLiteral("unknown (no foreign-toplevel), Shift+Insert for every window"),
             virtualKeyboard ? QStringLiteral("virtual-keyboard")
                 : portalKeyboard ? QStringLiteral("RemoteDesktop portal")
                                  : QStringLiteral("impossible (no virtual-keyboard)"))
        + (portalClipboard ? QStringLiteral("; clipboard: Clipboard portal") : QString())
        + (portalShortcuts ? QStringLiteral("; hotkeys: GlobalShortcuts portal") : QString());
}
