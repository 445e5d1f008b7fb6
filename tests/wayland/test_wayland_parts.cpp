// Which Wayland parts and which backend are chosen from what a compositor offers, the
// virtual keyboard's keymap, and the quoting of the lines the user is given for the compositor.
#include "wayland/wayland_compositor_lines.h"
#include "wayland/wayland_keymap.h"
#include "wayland/wayland_parts.h"
#include "wayland_session.h"

#include <QTest>
#include <xkbcommon/xkbcommon.h>

namespace {
const QList<WaylandGlobal> swayGlobals{{"wl_seat", 7}, {"zwlr_data_control_manager_v1", 2},
                                       {"zwlr_foreign_toplevel_manager_v1", 3},
                                       {"zwp_virtual_keyboard_manager_v1", 1}, {"xdg_wm_base", 2}};
const QList<WaylandGlobal> gnomeGlobals{{"wl_seat", 8}, {"xdg_wm_base", 4}, {"zwp_primary_selection_device_manager_v1", 1}};

QProcessEnvironment environment(const QStringList& variables)
{
    QProcessEnvironment env;
    for (const QString& variable : variables)
        env.insert(variable.section('=', 0, 0), variable.section('=', 1));
    return env;
}
} // namespace

class TestWaylandParts : public QObject {
    Q_OBJECT
private slots:
    void partsFollowTheOfferedGlobals()
    {
        using S = WaylandParts::Selection;
        const QList<WaylandGlobal> withExt = swayGlobals + QList<WaylandGlobal>{{"ext_data_control_manager_v1", 1}};
        const struct { const char* name; QList<WaylandGlobal> offered; S selection; bool toplevels, keyboard; QStringList variables; } cases[] = {
            {"sway 1.7", swayGlobals, S::wlrDataControl, true, true, {}},
            {"ext before wlr", withExt, S::extDataControl, true, true, {}},
            {"wlr version 1 has no PRIMARY", {{"wl_seat", 7}, {"zwlr_data_control_manager_v1", 1}}, S::paletteFocus, false, false, {}},
            {"GNOME", gnomeGlobals, S::paletteFocus, false, false, {}},
            {"keyboard without a seat", {{"zwp_virtual_keyboard_manager_v1", 1}}, S::paletteFocus, false, false, {}},
            {"data-control left unused by the user", withExt, S::paletteFocus, true, true, {"TOVALIN_WAYLAND_SELECTION=Focus"}},
            {"another value keeps data-control", withExt, S::extDataControl, true, true, {"TOVALIN_WAYLAND_SELECTION=data-control"}},
        };
        for (const auto& c : cases) {
            const WaylandParts parts = WaylandParts::choose(c.offered, {}, environment(c.variables));
            QVERIFY2(parts.selection == c.selection && parts.toplevels == c.toplevels && parts.virtualKeyboard == c.keyboard, c.name);
        }
    }

    void backendFollowsTheCompositorAndTheUser()
    {
        const QStringList sway{"WAYLAND_DISPLAY=wayland-1", "DISPLAY=:0"};
        QList<WaylandGlobal> cannotRead = swayGlobals;
        cannotRead.removeIf([](const WaylandGlobal& g) { return g.interface.contains("data_control"); });
        // offered: empty when no compositor answered.
        const struct { QStringList variables; QList<WaylandGlobal> offered; QString platform; } cases[] = {
            {sway, swayGlobals, "wayland"}, // wlroots: native
            {sway, gnomeGlobals, "xcb"},    // GNOME with XWayland
            {{"WAYLAND_DISPLAY=wayland-0"}, gnomeGlobals, ""}, // GNOME without X11
            {sway, {}, "xcb"},
            {sway, cannotRead, "xcb"}, // typing but no reading: XWayland
            {sway + QStringList{"TOVALIN_WAYLAND_SELECTION=focus"}, cannotRead, "wayland"}, // unless the palette's read is chosen
            {sway + QStringList{"TOVALIN_BACKEND=x11"}, swayGlobals, "xcb"},
            {sway + QStringList{"TOVALIN_BACKEND=Wayland"}, gnomeGlobals, "wayland"},
            {sway + QStringList{"QT_QPA_PLATFORM=xcb"}, swayGlobals, ""}, // the user set Qt's platform
            {{"DISPLAY=:0"}, swayGlobals, ""}, // an X11 session
        };
        for (const auto& c : cases) {
            const std::optional<WaylandParts> parts =
                c.offered.isEmpty() ? std::nullopt : std::optional(WaylandParts::choose(c.offered, {}, environment(c.variables)));
            const QString platform = WaylandSession::choosePlatform(environment(c.variables), parts);
            QVERIFY2(platform == c.platform, qPrintable(QString("row %1: %2").arg(&c - cases).arg(platform)));
        }
    }

    void keymapTypesItsChords()
    {
        const QByteArray text = WaylandKeymap::text();
        QVERIFY(text.endsWith('\0'));
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        QVERIFY(context);
        xkb_keymap* keymap = xkb_keymap_new_from_string(context, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
        QVERIFY2(keymap, text.constData());
        xkb_state* state = xkb_state_new(keymap);
        using Key = WaylandKeymap::Key;
        const struct {
            Key key;
            xkb_keysym_t keysym;
            const char* modifier;
        } keys[] = {{Key::control, XKB_KEY_Control_L, XKB_MOD_NAME_CTRL},
                    {Key::shift, XKB_KEY_Shift_L, XKB_MOD_NAME_SHIFT},
                    {Key::c, XKB_KEY_c, nullptr},
                    {Key::v, XKB_KEY_v, nullptr},
                    {Key::insert, XKB_KEY_Insert, nullptr}};
        for (const auto& row : keys) {
            const xkb_keycode_t code = WaylandKeymap::code(row.key) + 8;
            QCOMPARE(xkb_state_key_get_one_sym(state, code), row.keysym);
            // The mask sent with the key is the one the keymap gives it.
            xkb_state_update_key(state, code, XKB_KEY_DOWN);
            const xkb_mod_mask_t held = xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED);
            xkb_state_update_key(state, code, XKB_KEY_UP);
            QCOMPARE(held, row.modifier ? 1u << xkb_keymap_mod_get_index(keymap, row.modifier) : 0u);
            QCOMPARE(WaylandKeymap::modifierMask(row.key), held);
        }
        xkb_state_unref(state);
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }

    // The lines of each compositor are compared whole on the Hotkeys page; here, a name
    // the shell would otherwise read.
    void compositorLinesQuoteTheCommandName()
    {
        const WaylandCompositorLines lines(environment({"HYPRLAND_INSTANCE_SIGNATURE=x"}));
        QCOMPARE(lines.binding("Super+Shift+Space", "Say \"hi\" `to` $USER"),
                 QString("bind = SUPER SHIFT, space, exec, tovalin --run \"Say \\\"hi\\\" \\`to\\` \\$USER\""));
    }
};

QTEST_GUILESS_MAIN(TestWaylandParts)
#include "test_wayland_parts.moc"
