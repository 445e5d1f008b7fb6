#include "x11_palette_keys.h"

#include "x11_key_map.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

namespace {
// Virtual key codes of the stored layout and the keys they stand for.
constexpr std::pair<uint16_t, int> kPaletteKeys[] = {
    {126, Qt::Key_Up}, {125, Qt::Key_Down}, {36, Qt::Key_Return}, {76, Qt::Key_Enter}, {53, Qt::Key_Escape}};

int paletteKey(uint8_t x11KeyCode)
{
    const std::optional<uint16_t> virtualKey = X11KeyMap::virtualKeyCode(x11KeyCode);
    for (const auto& [code, key] : kPaletteKeys)
        if (virtualKey == code)
            return key == Qt::Key_Enter ? int(Qt::Key_Return) : key;
    return 0;
}
} // namespace

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

bool X11PaletteKeys::take()
{
    if (!m_grab->take())
        return false;
    m_grab->claim();
    if (!m_taken) {
        m_taken = true;
        // After the caller has finished showing the palette.
        QMetaObject::invokeMethod(this, &X11PaletteKeys::deliverTypeAhead, Qt::QueuedConnection);
    }
    return true;
}

void X11PaletteKeys::giveBack()
{
    m_taken = false;
    m_typeAhead.clear();
    m_grab->release();
}

void X11PaletteKeys::deliverTypeAhead()
{
    const QList<int> keys = std::exchange(m_typeAhead, {});
    for (int key : keys) {
        if (!m_taken)
            return;
        emit keyPressed(key);
    }
}

bool X11PaletteKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    const xcb_key_press_event_t* press = m_display->rootKeyPress(eventType, message);
    if (!press || !m_grab->isHeld())
        return false;
    // A combination with Ctrl, Alt or Super is left to the hotkeys; Qt drops what arrives
    // on the root window, so no key reaches the user's window either way.
    if (press->state & (X11KeyMap::hotkeyModifierMask & ~X11KeyMap::shiftMask))
        return false;
    const int key = paletteKey(press->detail);
    if (!key)
        return false;
    if (!m_taken) {
        if (m_typeAhead.size() < typeAheadLimit)
            m_typeAhead.append(key);
    } else if (m_typeAhead.isEmpty()) {
        emit keyPressed(key);
    } else {
        m_typeAhead.append(key);
    }
    return false;
}
