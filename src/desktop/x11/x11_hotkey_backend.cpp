#include "x11_hotkey_backend.h"

#include "x11_key_map.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

X11HotkeyBackend::X11HotkeyBackend(std::shared_ptr<X11Display> display,
                                   std::shared_ptr<X11KeyboardGrab> keyboardGrab,
                                   std::optional<uint32_t> keyboardHotkeyId)
    : m_display(std::move(display)), m_keyboard(m_display), m_keptKeys(m_display),
      m_keyboardGrab(std::move(keyboardGrab)),
      m_keyboardHotkeyId(keyboardHotkeyId)
{
    // Installed for the whole life of the grabs: a frozen keyboard must always be thawed.
    qGuiApp->installNativeEventFilter(this);
    m_heldPoll.setInterval(heldPollMs);
    QObject::connect(&m_heldPoll, &QTimer::timeout, [this] { pollHeldKeys(); });
}

X11HotkeyBackend::~X11HotkeyBackend()
{
    for (const auto& [ref, grab] : m_grabs)
        ungrab(grab);
    m_display->flush();
    removeHandler();
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

HotkeyBackend::Status X11HotkeyBackend::installHandler(PressHandler onPressed)
{
    m_onPressed = std::move(onPressed);
    return noErr;
}

void X11HotkeyBackend::removeHandler()
{
    m_onPressed = nullptr;
}

HotkeyBackend::Registration X11HotkeyBackend::registerHotkey(uint32_t keyCode, uint32_t carbonMask,
                                                             uint32_t id)
{
    const std::optional<uint8_t> x11Code =
        keyCode <= 0xFFFF ? X11KeyMap::x11KeyCode(uint16_t(keyCode)) : std::nullopt;
    if (!x11Code)
        return {unknownKey, {}};
    const uint16_t modifiers = X11KeyMap::x11Modifiers(carbonMask);

    // The server lets a client re-grab its own combination silently, and ungrabbing one
    // registration would then drop the other: refuse it as another client's grab would be.
    for (const auto& [ref, grab] : m_grabs) {
        if (grab.keyCode == *x11Code && grab.modifiers == modifiers)
            return {badAccess, {}};
    }
    Grab grab{*x11Code, modifiers, id, {}};
    if (const Status status = grabAll(grab); status != noErr)
        return {status, {}};
    const HotkeyRef ref = m_nextRef++;
    m_grabs.emplace(ref, std::move(grab));
    followKeymap();
    return {noErr, ref};
}

HotkeyBackend::Status X11HotkeyBackend::probe(uint32_t keyCode, uint32_t carbonMask)
{
    const std::optional<uint8_t> x11Code =
        keyCode <= 0xFFFF ? X11KeyMap::x11KeyCode(uint16_t(keyCode)) : std::nullopt;
    if (!x11Code)
        return unknownKey;
    const uint16_t modifiers = X11KeyMap::x11Modifiers(carbonMask);
    for (const auto& [ref, grab] : m_grabs) {
        if (grab.keyCode == *x11Code && grab.modifiers == modifiers)
            return noErr;
    }
    Grab grab{*x11Code, modifiers, 0, {}};
    const Status status = grabAll(grab);
    if (status == noErr) {
        ungrab(grab);
        m_display->flush();
    }
    return status;
}

HotkeyBackend::Status X11HotkeyBackend::grabAll(Grab& grab)
{
    const uint16_t numLock = m_keyboard.numLockMask();
    const std::vector<uint16_t> variants{0, numLock, X11KeyMap::lockMask,
                                         uint16_t(numLock | X11KeyMap::lockMask)};
    xcb_connection_t* c = m_display->connection();
    std::vector<xcb_void_cookie_t> cookies;
    for (const uint16_t lock : variants) {
        cookies.push_back(xcb_grab_key_checked(c, 1, m_display->root(), uint16_t(grab.modifiers | lock),
                                               grab.keyCode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC));
    }
    Status status = noErr;
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
        grab.lockVariants.clear();
        m_display->flush();
    }
    return status;
}

void X11HotkeyBackend::unregisterHotkey(HotkeyRef ref)
{
    const auto it = m_grabs.find(ref);
    if (it == m_grabs.end())
        return;
    ungrab(it->second);
    m_grabs.erase(it);
    followKeymap();
    m_display->flush();
}

void X11HotkeyBackend::followKeymap()
{
    bool anyKept = false;
    for (auto& [ref, grab] : m_grabs)
        anyKept |= grab.kept = m_keptKeys.keeps(grab.keyCode, grab.modifiers);
    m_keptKeys.listen(anyKept);
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
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (m_keptKeys.follow(event)) {
        followKeymap();
        return false;
    }
    if (const std::optional<X11KeptKeys::Press> press = m_keptKeys.rawPress(event)) {
        keptKeyPressed(*press);
        return false;
    }
    if ((event->response_type & 0x7f) == XCB_KEY_RELEASE) {
        const auto* release = reinterpret_cast<const xcb_key_release_event_t*>(event);
        m_held.erase(release->detail);
        m_releasedAt[release->detail] = release->time;
        return false;
    }
    const xcb_key_press_event_t* press = m_display->rootKeyPress(eventType, message);
    if (!press)
        return false;
    const uint16_t modifiers = press->state & X11KeyMap::hotkeyModifierMask;
    for (const auto& [ref, grab] : m_grabs) {
        if (grab.keyCode == press->detail && grab.modifiers == modifiers) {
            keyPressed(grab, press->detail, press->time);
            break;
        }
    }
    // Not consumed: Qt takes the press's timestamp, which later clipboard and focus
    // requests need to be accepted by the server.
    return false;
}

void X11HotkeyBackend::keptKeyPressed(const X11KeptKeys::Press& press)
{
    const uint16_t modifiers = press.modifiers & X11KeyMap::hotkeyModifierMask;
    for (const auto& [ref, grab] : m_grabs) {
        if (!grab.kept || grab.keyCode != press.keyCode || grab.modifiers != modifiers)
            continue;
        // Fired as the grab would have: not for the repeats of a held key, and not while a
        // client holds the keyboard (a menu is open, the palette is up, a shortcut is being
        // recorded), which keeps a grab from activating.
        if (m_held.count(press.keyCode) == 0 && m_keptKeys.keyboardIsFree())
            keyPressed(grab, press.keyCode, press.time);
        return;
    }
}

void X11HotkeyBackend::keyPressed(const Grab& grab, uint8_t keyCode, uint32_t time)
{
    // Where the server's auto-repeat still sends a release before each repeated press
    // (detectable auto-repeat off), the two carry the same time; no hand is that fast.
    const auto released = m_releasedAt.find(keyCode);
    const bool repeat = m_held.count(keyCode) > 0
        || (released != m_releasedAt.end() && time - released->second <= 1);

    xcb_connection_t* c = m_display->connection();
    const bool takesKeyboard = !repeat && m_keyboardGrab && m_keyboardHotkeyId == grab.id;
    if (!(takesKeyboard && m_keyboardGrab->take()) && !(m_keyboardGrab && m_keyboardGrab->isHeld())) {
        // End the grab this press started, so the keys that follow, and the synthetic
        // copy of a command hotkey's run, go to the user's window.
        xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    }
    xcb_allow_events(c, XCB_ALLOW_ASYNC_KEYBOARD, XCB_CURRENT_TIME);
    m_display->flush();
    if (repeat)
        return;
    m_held.insert(keyCode);
    m_heldPoll.start();
    if (m_onPressed)
        m_onPressed(grab.id);
}

void X11HotkeyBackend::pollHeldKeys()
{
    for (auto it = m_held.begin(); it != m_held.end();)
        it = m_keyboard.isKeyDown(*it) ? std::next(it) : m_held.erase(it);
    if (m_held.empty())
        m_heldPoll.stop();
}
