#include "x11_palette_keys.h"

#include "x11_key_map.h"
#include "x11_keyboard.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {
// Virtual key codes of the stored layout and the keys they stand for.
constexpr std::pair<uint16_t, int> kPaletteKeys[] = {
    {126, Qt::Key_Up}, {125, Qt::Key_Down}, {36, Qt::Key_Return}, {53, Qt::Key_Escape}};
} // namespace

X11PaletteKeys::X11PaletteKeys(std::shared_ptr<X11Display> display, QObject* parent)
    : PaletteKeys(parent), m_display(std::move(display))
{
    qGuiApp->installNativeEventFilter(this);
}

X11PaletteKeys::~X11PaletteKeys()
{
    giveBack();
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11PaletteKeys::take()
{
    if (!m_grabs.empty())
        return true;
    const uint16_t numLock = X11Keyboard(m_display).numLockMask();
    const uint16_t variants[] = {0, numLock, X11KeyMap::lockMask, uint16_t(numLock | X11KeyMap::lockMask)};
    xcb_connection_t* c = m_display->connection();
    bool refused = false;
    for (const auto& [virtualKey, key] : kPaletteKeys) {
        const std::optional<uint8_t> code = X11KeyMap::x11KeyCode(virtualKey);
        if (!code)
            continue;
        for (uint16_t modifiers : variants) {
            xcb_generic_error_t* error = xcb_request_check(
                c, xcb_grab_key_checked(c, 0, m_display->root(), modifiers, *code, XCB_GRAB_MODE_ASYNC,
                                        XCB_GRAB_MODE_ASYNC));
            if (error)
                refused = true;
            else
                m_grabs.push_back({*code, modifiers, key});
            std::free(error);
        }
    }
    if (refused)
        giveBack();
    return !refused;
}

void X11PaletteKeys::giveBack()
{
    for (const Grab& grab : m_grabs)
        xcb_ungrab_key(m_display->connection(), grab.keyCode, m_display->root(), grab.modifiers);
    if (!m_grabs.empty())
        m_display->flush();
    m_grabs.clear();
}

bool X11PaletteKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    const xcb_key_press_event_t* press = m_display->rootKeyPress(eventType, message);
    if (m_grabs.empty() || !press)
        return false;
    // Only our plain grabs: a combination with Shift, Ctrl, Alt or Super is a hotkey's.
    if (press->state & X11KeyMap::hotkeyModifierMask)
        return false;
    for (const Grab& grab : m_grabs) {
        if (grab.keyCode == press->detail) {
            emit keyPressed(grab.key);
            return true;
        }
    }
    return false;
}
