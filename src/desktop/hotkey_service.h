#pragma once

#include "hotkey_backend.h"
#include "hotkey_registry.h"

#include <QObject>
#include <map>
#include <memory>
#include <optional>

// Keeps the palette hotkey and the command hotkeys registered with the window system
// and runs their actions on the GUI thread, after the press handler has returned.
class HotkeyService : public QObject, public HotkeyRegistry {
    Q_OBJECT
public:
    static constexpr uint32_t overlayHotkeyId = 0;

    explicit HotkeyService(std::unique_ptr<HotkeyBackend> backend, QObject* parent = nullptr);
    ~HotkeyService() override;

    bool registerOverlayHotkey(uint32_t keyCode, uint32_t modifiers, Action action) override;
    std::optional<uint32_t> registerCommandHotkey(uint16_t keyCode, uint32_t modifiers,
                                                  Action action) override;
    void unregisterAllCommandHotkeys() override;
    void unregisterAll() override;
    // "Taken by another program" for a combination another client holds, a reason for a key
    // that cannot be grabbed at all; empty where there is no hot-key facility to ask.
    QString refusalReason(uint16_t keyCode, uint32_t modifiers) override;
    bool installEventHandler();

private:
    void hotkeyPressed(uint32_t id);
    void dispatch(uint32_t id);

    std::unique_ptr<HotkeyBackend> m_backend;
    std::optional<HotkeyBackend::HotkeyRef> m_overlayHotKeyRef;
    Action m_overlayCallback;
    std::map<uint32_t, HotkeyBackend::HotkeyRef> m_commandHotKeyRefs;
    std::map<uint32_t, Action> m_commandCallbacks;
    bool m_eventHandlerInstalled = false;
    uint32_t m_nextHotkeyId = 1;
};
