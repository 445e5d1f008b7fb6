#include "x11_keyboard_grab.h"

#include <cstdlib>
#include <xcb/xcb.h>

X11KeyboardGrab::X11KeyboardGrab(std::shared_ptr<X11Display> display) : m_display(std::move(display))
{
    m_unclaimed.setSingleShot(true);
    m_unclaimed.setInterval(unclaimedLimitMs);
    QObject::connect(&m_unclaimed, &QTimer::timeout, [this] { release(); });
}

X11KeyboardGrab::~X11KeyboardGrab()
{
    release();
}

bool X11KeyboardGrab::take(uint32_t window)
{
    window = window ? window : m_display->root();
    if (m_held && m_window == window)
        return true;
    const uint32_t previous = m_window;
    m_window = window;
    if (grab()) {
        if (!m_held)
            m_unclaimed.start();
        m_held = true;
        return true;
    }
    // A window that is not viewable yet cannot hold it; keep the grab we had.
    m_window = previous;
    return m_held;
}

void X11KeyboardGrab::claim()
{
    m_unclaimed.stop();
}

void X11KeyboardGrab::release()
{
    m_unclaimed.stop();
    if (!m_held)
        return;
    m_held = false;
    ungrab();
    m_display->flush();
}

void X11KeyboardGrab::passThrough(const std::function<void()>& sendKeys)
{
    if (!m_held) {
        sendKeys();
        m_display->flush();
        return;
    }
    // One flush for all three: the server handles them back to back, so a key the user
    // types meanwhile cannot slip through to their window.
    ungrab();
    sendKeys();
    if (!grab())
        m_held = false;
    m_display->flush();
}

bool X11KeyboardGrab::grab()
{
    xcb_connection_t* c = m_display->connection();
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(
        c,
        xcb_grab_keyboard(c, 0, m_window, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                          XCB_GRAB_MODE_ASYNC),
        nullptr);
    const bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return ok;
}

void X11KeyboardGrab::ungrab()
{
    xcb_ungrab_keyboard(m_display->connection(), XCB_CURRENT_TIME);
}
