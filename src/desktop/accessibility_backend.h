#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

class QMimeData;

// What selection access needs from the window system: a trust flag, the active
// window, the highlighted text, a plain-text clipboard and synthetic key chords.
class AccessibilityBackend : public QObject {
    Q_OBJECT
public:
    // The terminal chords add Shift: Ctrl+Shift+C and Ctrl+Shift+V.
    enum class Chord { copy, paste, terminalCopy, terminalPaste };

    using QObject::QObject;
    ~AccessibilityBackend() override = default;

    // Synthetic keys and the selection are reachable (X11: an X server with XTEST).
    virtual bool isTrusted() = 0;
    // The window the user works in; nothing when no window is active.
    virtual std::optional<quint64> activeWindow() = 0;
    // The highlighted text is held by the same program as the window, so it is that
    // window's selection and not something highlighted earlier elsewhere.
    virtual bool selectionOwnedBy(quint64 window) = 0;
    // The window's WM_CLASS names (instance and class); empty when unknown.
    virtual QStringList windowClass(quint64 window) = 0;
    virtual std::optional<QString> selectionText() = 0;
    // Only a window of Tovalin's with the keyboard focus can read the selection (Wayland
    // without data-control): the palette reads it once it has the focus.
    virtual bool readsOnlyWithFocus() { return false; }
    // Where reading needs the focus: the copy chord and the clipboard still work without it
    // (the Clipboard portal), so a command hotkey can copy the selection instead.
    virtual bool copiesWithoutFocus() { return false; }
    // Made ready just before such a copy: a session the desktop must allow is opened now
    // (which may mean asking the user). False when it cannot be.
    virtual QCoro::Task<bool> prepareCopy() { co_return true; }
    // How long the copied text may take to reach the clipboard.
    virtual std::chrono::milliseconds copyWait() const { return std::chrono::milliseconds(100); }

    // Nothing when the clipboard holds no plain text.
    virtual std::optional<QString> clipboardText() = 0;
    virtual void clearClipboard() = 0;
    virtual void setClipboardText(const QString& text) = 0;
    // The whole clipboard (text, rich text, URLs, image), to put back after a paste.
    virtual std::shared_ptr<QMimeData> clipboardSnapshot() { return nullptr; }
    virtual void restoreClipboard(const QMimeData&) {}
    // Takes the clipboard now, while a window of Tovalin's has the focus, still serving
    // what it held; the next setClipboardText() fills it without taking it again.
    virtual void holdClipboard() {}
    // The same from a window that has just taken the focus and had no input event yet.
    virtual QCoro::Task<> holdClipboardFromNewWindow()
    {
        holdClipboard();
        co_return;
    }

    // Modifier keys that are down now and would change a synthetic chord.
    virtual bool modifiersHeld() = 0;
    virtual void releaseHeldModifiers() = 0;
    // Sends the chord to whatever window has the keyboard focus.
    virtual void sendChord(Chord chord) = 0;

    virtual void openAccessibilitySettings() = 0;

signals:
    // The clipboard (not the highlighted-text selection) changed owner or content.
    void clipboardChanged();
    // Another program has been handed the clipboard's content (a paste was served).
    void clipboardFetched();
};
