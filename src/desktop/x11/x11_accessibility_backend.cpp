#include "x11_accessibility_backend.h"

#include "accessibility_settings_command.h"
#include "x11_key_map.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {
constexpr uint32_t keysymC = 0x63;
constexpr uint32_t keysymV = 0x76;
constexpr uint16_t virtualKeyC = 8;
constexpr uint16_t virtualKeyV = 9;
} // namespace

X11AccessibilityBackend::X11AccessibilityBackend(std::shared_ptr<X11Display> display,
                                                 std::shared_ptr<X11KeyboardGrab> grab, QObject* parent)
    : AccessibilityBackend(parent), m_display(std::move(display)), m_keyboard(m_display, std::move(grab))
{
    connect(&m_clipboard, &SystemClipboard::changed, this, &AccessibilityBackend::clipboardChanged);
    qGuiApp->installNativeEventFilter(this);
}

X11AccessibilityBackend::~X11AccessibilityBackend()
{
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11AccessibilityBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_MAPPING_NOTIFY) {
        m_keyboard.forgetMapping();
        return false;
    }
    if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
        return false;
    const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
    // Asking which kinds we offer is not fetching the content yet.
    if (request->selection == m_display->atom("CLIPBOARD") && request->target != m_display->atom("TARGETS")) {
        // Queued: Qt answers the request after this filter, and the content must still be ours then.
        QMetaObject::invokeMethod(this, &AccessibilityBackend::clipboardFetched, Qt::QueuedConnection);
    }
    return false;
}

bool X11AccessibilityBackend::isTrusted()
{
    return m_display->hasXTest();
}

std::optional<quint64> X11AccessibilityBackend::activeWindow()
{
    const std::optional<uint32_t> window = m_display->property32(
        m_display->root(), m_display->atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!window || *window == XCB_WINDOW_NONE)
        return std::nullopt;
    return *window;
}

bool X11AccessibilityBackend::selectionOwnedBy(quint64 window)
{
    xcb_connection_t* c = m_display->connection();
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, XCB_ATOM_PRIMARY), nullptr);
    const uint32_t owner = reply ? reply->owner : uint32_t(XCB_WINDOW_NONE);
    std::free(reply);
    if (owner == XCB_WINDOW_NONE)
        return false;
    // Windows created over one connection share the client bits of their XIDs; a
    // program with several connections is recognised by its process id instead.
    if (m_display->clientBits(owner) == m_display->clientBits(uint32_t(window)))
        return true;
    const std::optional<uint32_t> ownerPid = windowPid(owner);
    return ownerPid && ownerPid == windowPid(uint32_t(window));
}

std::optional<uint32_t> X11AccessibilityBackend::windowPid(uint32_t window) const
{
    return m_display->property32(window, m_display->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
}

std::optional<QString> X11AccessibilityBackend::selectionText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Selection);
    if (!data || !data->hasText())
        return std::nullopt;
    return data->text();
}

bool X11AccessibilityBackend::modifiersHeld()
{
    return !m_keyboard.heldModifierKeys().empty();
}

void X11AccessibilityBackend::releaseHeldModifiers()
{
    // Only what is down now is released, and nothing is pressed again afterwards: a
    // re-press after the user let go would leave the modifier stuck. The hotkey's own key
    // goes up too: held without its modifiers, its repeats would type into the window.
    m_keyboard.releaseKeys(m_keyboard.heldKeys());
}

void X11AccessibilityBackend::sendChord(Chord chord)
{
    const bool copy = chord == Chord::copy || chord == Chord::terminalCopy;
    const bool terminal = chord == Chord::terminalCopy || chord == Chord::terminalPaste;
    const uint8_t fallback = X11KeyMap::x11KeyCode(copy ? virtualKeyC : virtualKeyV).value_or(0);
    m_keyboard.sendControlChord(copy ? keysymC : keysymV, fallback, terminal);
}

QStringList X11AccessibilityBackend::windowClass(quint64 window)
{
    xcb_connection_t* c = m_display->connection();
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, uint32_t(window), XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr);
    QStringList names;
    if (reply && reply->format == 8) {
        // Two NUL-terminated strings: the instance name, then the class name.
        const QByteArray raw(static_cast<const char*>(xcb_get_property_value(reply)),
                             xcb_get_property_value_length(reply));
        for (const QByteArray& part : raw.split('\0'))
            if (!part.isEmpty())
                names << QString::fromLocal8Bit(part);
    }
    std::free(reply);
    return names;
}

void X11AccessibilityBackend::openAccessibilitySettings()
{
    const std::optional<QStringList> command = accessibilitySettingsCommand(
        qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
        [](const QString& program) { return QStandardPaths::findExecutable(program); });
    if (command)
        QProcess::startDetached(command->first(), command->mid(1));
}
