#pragma once

#include "accessibility_backend.h"
#include "system_clipboard.h"

// For sessions where other programs' windows cannot be reached (offscreen, Wayland):
// never trusted, no active window, no synthetic keys; the clipboard still works.
class InertAccessibilityBackend : public AccessibilityBackend {
    Q_OBJECT
public:
    explicit InertAccessibilityBackend(QObject* parent = nullptr);

    bool isTrusted() override { return false; }
    std::optional<quint64> activeWindow() override { return std::nullopt; }
    bool selectionOwnedBy(quint64) override { return false; }
    QStringList windowClass(quint64) override { return {}; }
    std::optional<QString> selectionText() override { return std::nullopt; }
    std::optional<QString> clipboardText() override { return m_clipboard.text(); }
    void clearClipboard() override { m_clipboard.clear(); }
    void setClipboardText(const QString& text) override { m_clipboard.setText(text); }
    bool modifiersHeld() override { return false; }
    void releaseHeldModifiers() override {}
    void sendChord(Chord) override {}
    void openAccessibilitySettings() override {}

private:
    SystemClipboard m_clipboard;
};
