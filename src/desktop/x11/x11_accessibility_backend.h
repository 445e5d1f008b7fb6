#pragma once

#include "accessibility_backend.h"
#include "system_clipboard.h"
#include "x11_display.h"
#include "x11_keyboard.h"

#include <memory>

// The active window from _NET_ACTIVE_WINDOW, the highlighted text from PRIMARY,
// synthetic Ctrl+C / Ctrl+V through XTEST.
class X11AccessibilityBackend : public AccessibilityBackend {
    Q_OBJECT
public:
    explicit X11AccessibilityBackend(std::shared_ptr<X11Display> display,
                                     std::shared_ptr<X11KeyboardGrab> grab = nullptr,
                                     QObject* parent = nullptr);

    bool isTrusted() override;
    std::optional<quint64> activeWindow() override;
    bool selectionOwnedBy(quint64 window) override;
    QStringList windowClass(quint64 window) override;
    std::optional<QString> selectionText() override;
    std::optional<QString> clipboardText() override { return m_clipboard.text(); }
    void clearClipboard() override { m_clipboard.clear(); }
    void setClipboardText(const QString& text) override { m_clipboard.setText(text); }
    bool modifiersHeld() override;
    void releaseHeldModifiers() override;
    void sendChord(Chord chord) override;
    void openAccessibilitySettings() override;

private:
    std::optional<uint32_t> windowPid(uint32_t window) const;

    std::shared_ptr<X11Display> m_display;
    X11Keyboard m_keyboard;
    SystemClipboard m_clipboard;
};
