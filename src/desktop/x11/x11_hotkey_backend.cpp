#include "x11_hotkey_backend.h"

#include "x11_key_map.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

X11HotkeyBackend::X11HotkeyBackend(std::shared_ptr<X11Display> display)
    : m_display(std::move(display)), m_keyboard(m_display)
{
}

X11HotkeyBackend::~X11HotkeyBackend()
{
    for (const auto& [ref, grab] : m_grabs)
        ungrab(grab);
    m_display->flush();
    removeHandler();
}

HotkeyBackend::Status X11HotkeyBackend::installHandler(PressHandler onPressed)
{
    m_onPressed = std::move(onPressed);
    if (!m_filterInstalled) {
        qGuiApp->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    return noErr;
}

void X11HotkeyBackend::removeHandler()
{
    if (m_filterInstalled && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
    m_filterInstalled = false;
    m_onPressed = nullptr;
}

HotkeyBackend::Registration X11HotkeyBackend::registerHotkey(uint32_t keyCode, uint32_t carbonMask,
                                                             uint32_t id)
{
    const std::optional<uint8_t> x11Code =
        keyCode <= 0xFFFF ? X11KeyMap::x11KeyCode(uint16_t(keyCode)) : std::nullopt;
    if (!x11Code)
        return {badValue, {}};
    const uint16_t modifiers = X11KeyMap::x11Modifiers(carbonMask);

    // The server lets a client re-grab its own combination silently, and ungrabbing one
    // registration would then drop the other: refuse it as another client's grab would be.
    for (const auto& [ref, grab] : m_grabs) {
        if (grab.keyCode == *x11Code && grab.modifiers == modifiers)
            return {badAccess, {}};
    }

    const uint16_t numLock = m_keyboard.numLockMask();
    const std::vector<uint16_t> variants{0, numLock, X11KeyMap::lockMask,
                                         uint16_t(numLock | X11KeyMap::lockMask)};
    xcb_connection_t* c = m_display->connection();
    std::vector<xcb_void_cookie_t> cookies;
    for (const uint16_t lock : variants) {
        cookies.push_back(xcb_grab_key_checked(c, 1, m_display->root(), uint16_t(modifiers | lock),
                                               *x11Code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    Status status = noErr;
    Grab grab{*x11Code, modifiers, id, {}};
    for (size_t i = 0; i < cookies.size(); ++i) {
        if (xcb_generic_error_t* error = xcb_request_check(c, cookies[i])) {
            if (status == noErr)
                status = error->error_code;
            std::free(error);
        } else {
            grab.lockVariants.push_back(variants[i]);
        }
    }
    if (status != noErr) {
        // Another client holds the combination (BadAccess): keep none of it.
        ungrab(grab);
        m_display->flush();
        return {status, {}};
    }
    const HotkeyRef ref = m_nextRef++;
    m_grabs.emplace(ref, std::move(grab));
    return {noErr, ref};
}

void X11HotkeyBackend::unregisterHotkey(HotkeyRef ref)
{
    const auto it = m_grabs.find(ref);
    if (it == m_grabs.end())
        return;
    ungrab(it->second);
    m_grabs.erase(it);
    m_display->flush();
}

void X11HotkeyBackend::ungrab(const Grab& grab) const
{
    for (const uint16_t lock : grab.lockVariants) {
        xcb_ungrab_key(m_display->connection(), grab.keyCode, m_display->root(),
                       uint16_t(grab.modifiers | lock));
    }
}

bool X11HotkeyBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    const xcb_key_press_event_t* press = m_display->rootKeyPress(eventType, message);
    if (!m_onPressed || !press)
        return false;
    const uint16_t modifiers = press->state & X11KeyMap::hotkeyModifierMask;
    for (const auto& [ref, grab] : m_grabs) {
        if (grab.keyCode == press->detail && grab.modifiers == modifiers) {
            m_onPressed(grab.id);
            break;
        }
    }
    // Not consumed: Qt takes the press's timestamp, which later clipboard and focus
    // requests need to be accepted by the server.
    return false;
}
