#pragma once

#include "accessibility_backend.h"
#include "hotkey_backend.h"

#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <map>
#include <memory>
#include <set>
#include <utility>

// What a FakeHotkeyBackend saw; shared so it outlives the backend the service owns.
struct HotkeyJournal {
    struct Active {
        uint32_t keyCode;
        uint32_t carbonMask;
        uint32_t id;
    };
    HotkeyBackend::Status installStatus = HotkeyBackend::noErr;
    // (key code, Carbon mask) -> status of a refused registration
    std::map<std::pair<uint32_t, uint32_t>, HotkeyBackend::Status> refused;
    int installCalls = 0;
    int removeCalls = 0;
    QList<uint32_t> registeredIds; // every id offered, refused or not, in call order
    std::map<HotkeyBackend::HotkeyRef, Active> active;
    HotkeyBackend::PressHandler handler;

    // What the window system does on a key press of a registered combination.
    void press(uint32_t id) const { handler(id); }
};

class FakeHotkeyBackend : public HotkeyBackend {
public:
    explicit FakeHotkeyBackend(std::shared_ptr<HotkeyJournal> journal) : m_journal(std::move(journal)) {}

    Status installHandler(PressHandler onPressed) override
    {
        ++m_journal->installCalls;
        if (m_journal->installStatus == noErr)
            m_journal->handler = std::move(onPressed);
        return m_journal->installStatus;
    }
    Registration registerHotkey(uint32_t keyCode, uint32_t carbonMask, uint32_t id) override
    {
        m_journal->registeredIds.append(id);
        if (auto it = m_journal->refused.find({keyCode, carbonMask}); it != m_journal->refused.end())
            return {it->second, {}};
        const HotkeyRef ref = m_nextRef++;
        m_journal->active[ref] = {keyCode, carbonMask, id};
        return {noErr, ref};
    }
    void unregisterHotkey(HotkeyRef ref) override { m_journal->active.erase(ref); }
    void removeHandler() override
    {
        ++m_journal->removeCalls;
        m_journal->handler = nullptr;
    }

private:
    std::shared_ptr<HotkeyJournal> m_journal;
    HotkeyRef m_nextRef = 100;
};

// A scripted desktop: the active window, its selection, the clipboard and an
// application that answers a synthetic copy after a delay.
class FakeAccessibilityBackend : public AccessibilityBackend {
    Q_OBJECT
public:
    struct SentChord {
        Chord chord;
        qint64 atMs;
        bool modifiersWereHeld;
    };

    bool trusted = true;
    std::optional<quint64> active = 42;
    bool selectionOwnedByActive = false;
    std::optional<QString> selection;
    std::optional<QString> clipboard;
    // What the focused application puts on the clipboard on Ctrl+C (nothing: it ignores it).
    std::optional<QString> copyResult;
    int copyDelayMs = 5;
    // Number of polls during which the user still holds modifiers (-1: forever).
    int heldPolls = 0;
    int releaseCalls = 0;
    int clipboardWrites = 0;
    QList<SentChord> sent;
    QElapsedTimer clock;

    FakeAccessibilityBackend() { clock.start(); }

    bool isTrusted() override { return trusted; }
    std::optional<quint64> activeWindow() override { return active; }
    bool selectionOwnedBy(quint64 window) override
    {
        return selectionOwnedByActive && active && *active == window;
    }
    std::optional<QString> selectionText() override { return selection; }
    std::optional<QString> clipboardText() override { return clipboard; }
    void clearClipboard() override
    {
        clipboard.reset();
        emit clipboardChanged();
    }
    void setClipboardText(const QString& text) override
    {
        ++clipboardWrites;
        clipboard = text;
        emit clipboardChanged();
    }
    bool modifiersHeld() override
    {
        if (heldPolls == 0)
            return false;
        if (heldPolls > 0)
            --heldPolls;
        return true;
    }
    void releaseHeldModifiers() override
    {
        ++releaseCalls;
        heldPolls = 0;
    }
    void sendChord(Chord chord) override
    {
        sent.append({chord, clock.elapsed(), heldPolls != 0});
        if (chord == Chord::copy && copyResult) {
            QTimer::singleShot(copyDelayMs, this, [this, text = *copyResult]() {
                clipboard = text;
                emit clipboardChanged();
            });
        }
    }
    void openAccessibilitySettings() override {}

    // A clipboard change that brings no text (as our own clear is reported on X11).
    void emitEmptyChangeAfter(int ms)
    {
        QTimer::singleShot(ms, this, [this]() { emit clipboardChanged(); });
    }
};
