#include "platform_backends.h"

#include "inert_accessibility_backend.h"
#include "inert_hotkey_backend.h"
#include "x11/x11_accessibility_backend.h"
#include "x11/x11_display.h"
#include "x11/x11_hotkey_backend.h"
#include "x11/x11_palette_keys.h"

std::unique_ptr<HotkeyBackend> makeHotkeyBackend()
{
    if (std::shared_ptr<X11Display> display = X11Display::fromQt())
        return std::make_unique<X11HotkeyBackend>(std::move(display));
    return std::make_unique<InertHotkeyBackend>();
}

std::unique_ptr<AccessibilityBackend> makeAccessibilityBackend()
{
    if (std::shared_ptr<X11Display> display = X11Display::fromQt())
        return std::make_unique<X11AccessibilityBackend>(std::move(display));
    return std::make_unique<InertAccessibilityBackend>();
}

bool compositorRunning()
{
    const std::shared_ptr<X11Display> display = X11Display::fromQt();
    return display && display->hasCompositor();
}

std::unique_ptr<PaletteKeys> makePaletteKeys()
{
    if (std::shared_ptr<X11Display> display = X11Display::fromQt())
        return std::make_unique<X11PaletteKeys>(std::move(display));
    return nullptr;
}
