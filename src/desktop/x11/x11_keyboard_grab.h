#pragma once

#include "x11_display.h"

#include <QTimer>
#include <functional>
#include <memory>

// The whole keyboard held by Tovalin while the palette is up: an active grab on the root
// window, so every key comes to us while the user's window keeps its input focus (and
// later receives the paste). Shared by the hotkeys, which take it on the palette hotkey's
// own press so that keys typed right after it never reach the user's window, the palette
// and the synthetic keys, which must get past it.
class X11KeyboardGrab {
public:
    // A grab taken on a hotkey press that no palette claims within this time is let go.
    static constexpr int unclaimedLimitMs = 3000;

    explicit X11KeyboardGrab(std::shared_ptr<X11Display> display);
    ~X11KeyboardGrab();
    X11KeyboardGrab(const X11KeyboardGrab&) = delete;
    X11KeyboardGrab& operator=(const X11KeyboardGrab&) = delete;

    // Takes the keyboard, its key events reported on window (0: the root window); a grab
    // held already moves to that window. False when another client holds a grab. An
    // unclaimed grab is released after unclaimedLimitMs.
    bool take(uint32_t window = 0);
    // The palette has shown and owns the grab until release().
    void claim();
    void release();
    bool isHeld() const { return m_held; }
    // Where key events arrive while held: the root window or the palette's own.
    uint32_t window() const { return m_window; }

    // Synthetic keys sent under our own grab would come back to us: let go for the moment
    // they are sent and take the keyboard again in the same batch of requests.
    void passThrough(const std::function<void()>& sendKeys);

private:
    bool grab();
    void ungrab();

    std::shared_ptr<X11Display> m_display;
    bool m_held = false;
    uint32_t m_window = 0;
    QTimer m_unclaimed;
};
