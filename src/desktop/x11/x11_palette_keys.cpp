#include "x11_palette_keys.h"

#include "x11_key_map.h"

#include <QGuiApplication>
#include <cstring>
#include <xcb/xcb.h>

X11PaletteKeys::X11PaletteKeys(std::shared_ptr<X11Display> display, std::shared_ptr<X11KeyboardGrab> grab,
                               QObject* parent)
    : PaletteKeys(parent), m_display(std::move(display)), m_grab(std::move(grab))
{
    qGuiApp->installNativeEventFilter(this);
}

X11PaletteKeys::~X11PaletteKeys()
{
    giveBack();
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11PaletteKeys::take(quint64 window)
{
    // Moving the grab to the palette's window makes its keys ordinary key events there.
    if (!m_grab->take(uint32_t(window)))
        return false;
    m_grab->claim();
    m_window = uint32_t(window);
    for (const RawEvent& event : std::exchange(m_typeAhead, {}))
        sendToPalette(event);
    m_display->flush();
    return true;
}

void X11PaletteKeys::giveBack()
{
    m_window = 0;
    m_typeAhead.clear();
    m_grab->release();
}

void X11PaletteKeys::sendToPalette(RawEvent event) const
{
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event.data());
    press->event = m_window;
    press->child = XCB_NONE;
    xcb_send_event(m_display->connection(), 0, m_window, XCB_EVENT_MASK_KEY_PRESS, event.data());
}

bool X11PaletteKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    auto* press = const_cast<xcb_key_press_event_t*>(m_display->rootKeyPress(eventType, message));
    // Keys still arrive on the root window after the grab moved to the palette's: those
    // typed before the move and read only now.
    if (!press || !m_grab->isHeld())
        return false;
    // A combination with Ctrl, Alt or Super is left to the hotkeys; Qt drops what arrives
    // on the root window, so it reaches no window at all.
    if (press->state & (X11KeyMap::hotkeyModifierMask & ~X11KeyMap::shiftMask))
        return false;
    if (m_window) {
        // The palette is up: pass the key on in place.
        press->event = m_window;
        press->child = XCB_NONE;
        return false;
    }
    if (m_typeAhead.size() < typeAheadLimit) {
        RawEvent copy;
        std::memcpy(copy.data(), press, copy.size());
        m_typeAhead.append(copy);
    }
    return false;
}
