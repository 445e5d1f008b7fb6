#include "x11_recorder_keys.h"

#include <QGuiApplication>
#include <cstdlib>
#include <utility>
#include <xcb/xcb.h>

X11RecorderKeys::X11RecorderKeys(std::shared_ptr<X11Display> display, QObject* parent)
    : RecorderKeys(parent), m_display(std::move(display))
{
    qGuiApp->installNativeEventFilter(this);
}

X11RecorderKeys::~X11RecorderKeys()
{
    release();
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11RecorderKeys::take(quint64 window)
{
    release();
    xcb_connection_t* c = m_display->connection();
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(
        c, xcb_grab_keyboard(c, 0, uint32_t(window), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC),
        nullptr);
    const bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    if (!ok)
        return false;
    m_window = uint32_t(window);
    m_taken = true;
    // Let one event through; the keyboard freezes again after it until we have looked.
    xcb_allow_events(c, XCB_ALLOW_SYNC_KEYBOARD, XCB_CURRENT_TIME);
    m_display->flush();
    return true;
}

void X11RecorderKeys::giveBack()
{
    m_taken = false;
    // With the focus elsewhere a key may be on its way to us under the grab already: the
    // grab stays until that key (or the next one) comes and is given back to the server.
    if (m_window && focusIsOurs())
        release();
}

void X11RecorderKeys::release()
{
    if (!m_window)
        return;
    m_window = 0;
    xcb_ungrab_keyboard(m_display->connection(), XCB_CURRENT_TIME);
    m_display->flush();
}

bool X11RecorderKeys::focusIsOurs() const
{
    xcb_connection_t* c = m_display->connection();
    xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const bool ours = reply && reply->focus == m_window;
    std::free(reply);
    return ours;
}

bool X11RecorderKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (!m_window || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_FOCUS_OUT) {
        const auto* focus = reinterpret_cast<const xcb_focus_out_event_t*>(event);
        // Taking the grab itself sends a FocusOut (mode Grab): only a real move counts.
        const bool moved = focus->mode == XCB_NOTIFY_MODE_NORMAL || focus->mode == XCB_NOTIFY_MODE_WHILE_GRABBED;
        const bool left = moved && focus->event == m_window && focus->detail != XCB_NOTIFY_DETAIL_INFERIOR
            && focus->detail != XCB_NOTIFY_DETAIL_POINTER;
        if (left && m_taken) {
            m_taken = false;
            emit lost();
        }
        return false;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    xcb_connection_t* c = m_display->connection();
    if (m_taken && focusIsOurs()) {
        xcb_allow_events(c, XCB_ALLOW_SYNC_KEYBOARD, XCB_CURRENT_TIME);
        m_display->flush();
        return false;
    }
    // Not for us: the grab ends and the server delivers the key where the focus is.
    m_window = 0;
    xcb_allow_events(c, XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
    m_display->flush();
    if (std::exchange(m_taken, false))
        emit lost();
    return true;
}
