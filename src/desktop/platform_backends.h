#pragma once

#include "accessibility_backend.h"
#include "hotkey_backend.h"
#include "palette_keys.h"
#include "recorder_keys.h"

#include <memory>

// The backends for the running session: X11 ones on the xcb platform, the Wayland one on
// Qt's wayland platform (hotkeys there through the GlobalShortcuts portal where the
// desktop offers it, else the compositor's bindings run the remote commands), inert
// ones elsewhere (offscreen), where hotkeys are refused and nothing is selected.
// The X11 backends use the application's own X connection: create them after the
// QGuiApplication and destroy them before it.
std::unique_ptr<HotkeyBackend> makeHotkeyBackend();
std::unique_ptr<AccessibilityBackend> makeAccessibilityBackend();

// The palette's keys taken from the focused window; nothing off X11 (the palette then
// grabs the whole keyboard instead).
std::unique_ptr<PaletteKeys> makePaletteKeys();

// The keyboard for a shortcut recorder; nothing off X11 (the recorder then reads the keys
// Qt delivers to its window).
std::unique_ptr<RecorderKeys> makeRecorderKeys();

// Whether windows can be drawn translucent: a compositing manager is running.
bool compositorRunning();
