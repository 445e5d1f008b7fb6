#include "hotkey_service.h"

#include "console.h"
#include "hotkey_display.h"

#include <QMetaObject>

HotkeyService::HotkeyService(std::unique_ptr<HotkeyBackend> backend, QObject* parent)
    : QObject(parent), m_backend(std::move(backend))
{
}

HotkeyService::~HotkeyService()
{
    unregisterAll();
}

bool HotkeyService::installEventHandler()
{
    if (m_eventHandlerInstalled)
        return true;
    const HotkeyBackend::Status status =
        m_backend->installHandler([this](uint32_t id) { hotkeyPressed(id); });
    if (status != HotkeyBackend::noErr) {
        Console::line(QStringLiteral("Failed to install event handler: ") + QString::number(status));
        return false;
    }
    m_eventHandlerInstalled = true;
    return true;
}

bool HotkeyService::registerOverlayHotkey(uint32_t keyCode, uint32_t modifiers, Action action)
{
    if (m_overlayHotKeyRef) {
        m_backend->unregisterHotkey(*m_overlayHotKeyRef);
        m_overlayHotKeyRef.reset();
    }
    m_overlayCallback = nullptr;
    if (!installEventHandler())
        return false;
    m_overlayCallback = std::move(action);
    const HotkeyBackend::Registration registration = m_backend->registerHotkey(
        keyCode, HotkeyDisplay::carbonModifiers(modifiers), overlayHotkeyId);
    if (registration.status == HotkeyBackend::noErr && registration.ref) {
        m_overlayHotKeyRef = registration.ref;
        return true;
    }
    Console::line(QStringLiteral("Failed to register overlay hotkey: ")
                  + QString::number(registration.status));
    return false;
}

std::optional<uint32_t> HotkeyService::registerCommandHotkey(uint16_t keyCode, uint32_t modifiers,
                                                             Action action)
{
    if (!installEventHandler())
        return std::nullopt;
    const uint32_t mask = HotkeyDisplay::carbonModifiers(modifiers);
    // The id is spent even when the registration is refused, so ids follow list positions.
    const uint32_t id = m_nextHotkeyId++;
    const HotkeyBackend::Registration registration = m_backend->registerHotkey(keyCode, mask, id);
    if (registration.status == HotkeyBackend::noErr && registration.ref) {
        m_commandHotKeyRefs[id] = *registration.ref;
        m_commandCallbacks[id] = std::move(action);
        return id;
    }
    Console::line(QStringLiteral("Failed to register command hotkey: ")
                  + QString::number(registration.status));
    return std::nullopt;
}

void HotkeyService::unregisterAllCommandHotkeys()
{
    for (const auto& [id, ref] : m_commandHotKeyRefs) {
        m_backend->unregisterHotkey(ref);
        m_commandCallbacks.erase(id);
    }
    m_commandHotKeyRefs.clear();
    m_nextHotkeyId = 1;
}

QString HotkeyService::refusalReason(uint16_t keyCode, uint32_t modifiers)
{
    const HotkeyBackend::Status status = m_backend->probe(keyCode, HotkeyDisplay::carbonModifiers(modifiers));
    if (status == HotkeyBackend::noErr || status == HotkeyBackend::unsupported)
        return {};
    if (status == HotkeyBackend::unknownKey)
        return QStringLiteral("This key cannot be a global shortcut");
    return QStringLiteral("Taken by another program");
}

void HotkeyService::unregisterAll()
{
    if (m_overlayHotKeyRef) {
        m_backend->unregisterHotkey(*m_overlayHotKeyRef);
        m_overlayHotKeyRef.reset();
    }
    m_overlayCallback = nullptr;
    unregisterAllCommandHotkeys();
    if (m_eventHandlerInstalled) {
        m_backend->removeHandler();
        m_eventHandlerInstalled = false;
    }
}

void HotkeyService::hotkeyPressed(uint32_t id)
{
    // Never run an action inside the window system's callback: the action may
    // re-register hotkeys, which the backend must not see while it dispatches.
    QMetaObject::invokeMethod(this, [this, id]() { dispatch(id); }, Qt::QueuedConnection);
}

void HotkeyService::dispatch(uint32_t id)
{
    // The action is looked up now, not at press time, and copied: running it may
    // replace the registrations (and so the stored action) while it runs.
    Action action;
    if (id == overlayHotkeyId) {
        action = m_overlayCallback;
    } else if (auto it = m_commandCallbacks.find(id); it != m_commandCallbacks.end()) {
        action = it->second;
    }
    if (action)
        action();
}
