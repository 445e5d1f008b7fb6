#include "x11_kept_keys.h"

#include <cstdlib>
#include <utility>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
// xkb.h names a member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

X11KeptKeys::X11KeptKeys(std::shared_ptr<X11Display> display) : m_display(std::move(display))
{
    xcb_connection_t* c = m_display->connection();
    if (!xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &m_xkbEvent,
                                     nullptr))
        return;
    m_device = xkb_x11_get_core_keyboard_device_id(c);
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    // The same selection Qt makes on this connection for its own keyboard; made here too so
    // that the state and keymap followed below never depend on it.
    constexpr uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY
        | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    constexpr uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS;
    xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts, nullptr);

    if (const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(c, &xcb_input_id);
        xinput && xinput->present) {
        // Raw events reach a client during other clients' grabs from version 2.1 on. A client
        // that announced a later version already (Qt) is refused a lower one, which is fine.
        xcb_generic_error_t* error = nullptr;
        std::free(xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), &error));
        std::free(error);
        m_xinputOpcode = xinput->major_opcode;
    }
    readState();
}

X11KeptKeys::~X11KeptKeys()
{
    listen(false);
    if (m_probe)
        xcb_disconnect(m_probe);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

void X11KeptKeys::readState()
{
    xcb_connection_t* c = m_display->connection();
    xcb_xkb_get_state_reply_t* state =
        m_xkbEvent ? xcb_xkb_get_state_reply(c, xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD), nullptr) : nullptr;
    if (state) {
        m_grabModifiers = state->compatGrabMods;
        m_group = state->group;
    }
    std::free(state);
}

bool X11KeptKeys::keeps(uint8_t keyCode, uint16_t modifiers)
{
    if (!m_context)
        return false;
    if (!m_keymap)
        m_keymap = xkb_x11_keymap_new_from_device(m_context, m_display->connection(), m_device,
                                                  XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!m_keymap)
        return false;
    // The eight core modifiers are the first eight of an X server's keymap, in the same order.
    xkb_state* state = xkb_state_new(m_keymap);
    xkb_state_update_mask(state, modifiers, 0, 0, 0, 0, m_group);
    const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state, keyCode);
    xkb_state_unref(state);
    return keysym >= XKB_KEY_XF86Switch_VT_1 && keysym <= XKB_KEY_XF86Switch_VT_12;
}

void X11KeptKeys::listen(bool on)
{
    if (on == m_listening || !m_xinputOpcode)
        return;
    m_listening = on;
    struct {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS) : 0u};
    xcb_input_xi_select_events(m_display->connection(), m_display->root(), 1, &mask.head);
    if (on)
        readState();
    m_display->flush();
}

bool X11KeptKeys::follow(const void* message)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (!m_xkbEvent || (event->response_type & 0x7f) != m_xkbEvent)
        return false;
    // Every XKB event carries its kind in the second byte.
    switch (reinterpret_cast<const uint8_t*>(event)[1]) {
    case XCB_XKB_STATE_NOTIFY: {
        const auto* state = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
        m_grabModifiers = state->compatGrabMods;
        m_group = state->group;
        return false;
    }
    case XCB_XKB_MAP_NOTIFY:
    case XCB_XKB_NEW_KEYBOARD_NOTIFY:
        xkb_keymap_unref(std::exchange(m_keymap, nullptr));
        return true;
    default:
        return false;
    }
}

std::optional<X11KeptKeys::Press> X11KeptKeys::rawPress(const void* message) const
{
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (!m_listening || (event->response_type & 0x7f) != XCB_GE_GENERIC)
        return std::nullopt;
    const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event);
    if (raw->extension != m_xinputOpcode || raw->event_type != XCB_INPUT_RAW_KEY_PRESS)
        return std::nullopt;
    // The XKB state events of the modifier keys come before this press on the connection.
    return Press{uint8_t(raw->detail), m_grabModifiers, raw->time};
}

bool X11KeptKeys::keyboardIsFree()
{
    if (!m_probe) {
        m_probe = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_probe)) {
            xcb_disconnect(std::exchange(m_probe, nullptr));
            return true; // cannot tell: as if free
        }
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_probe)).data->root;
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(
        m_probe, xcb_grab_keyboard(m_probe, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    const bool free = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    if (free) {
        xcb_ungrab_keyboard(m_probe, XCB_CURRENT_TIME);
        xcb_flush(m_probe);
    }
    return free;
}
