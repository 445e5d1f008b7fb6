#include "platform_backends.h"

#include "hotkey_service.h"
#include "inert_accessibility_backend.h"
#include "inert_hotkey_backend.h"
#include "x11/x11_accessibility_backend.h"
#include "x11/x11_display.h"
#include "x11/x11_hotkey_backend.h"
#include "x11/x11_keyboard_grab.h"
#include "x11/x11_palette_keys.h"
#include "x11/x11_recorder_keys.h"
#include "wayland/wayland_accessibility_backend.h"
#include "portal/portal_hotkey_backend.h"
#include "portal/portal_offer.h"

#include <QGuiApplication>

namespace {
bool nativeWayland()
{
    return QGuiApplication::platformName() == QLatin1String("wayland");
}

// One keyboard grab for the process: the palette hotkey takes it, the palette reads under
// it and synthetic keys get past it.
std::shared_ptr<X11KeyboardGrab> keyboardGrab(const std::shared_ptr<X11Display>& display)
{
    static std::weak_ptr<X11KeyboardGrab> shared;
    std::shared_ptr<X11KeyboardGrab> grab = shared.lock();
    if (!grab) {
        grab = std::make_shared<X11KeyboardGrab>(display);
        shared = grab;
    }
    return grab;
}
} // namespace

std::unique_ptr<HotkeyBackend> makeHotkeyBackend()
{
    if (nativeWayland() && PortalOffer::session().globalShortcuts >= 1)
        return std::make_unique<PortalHotkeyBackend>(QDBusConnection::sessionBus());
    if (std::shared_ptr<X11Display> display = X11Display::fromQt())
        return std::make_unique<X11HotkeyBackend>(display, keyboardGrab(display),
                                                  HotkeyService::overlayHotkeyId);
    return std::make_unique<InertHotkeyBackend>();
}

std::unique_ptr<AccessibilityBackend> makeAccessibilityBackend()
{
    if (nativeWayland())
        if (std::unique_ptr<WaylandAccessibilityBackend> backend = WaylandAccessibilityBackend::create())
            return backend;
    if (std::shared_ptr<X11Display> display = X11Display::fromQt())
        return std::make_unique<X11AccessibilityBackend>(display, keyboardGrab(display));
    return std::make_unique<InertAccessibilityBackend>();
}

bool compositorRunning()
{
    // A Wayland compositor is one.
    if (nativeWayland())
        return true;
    const std::shared_ptr<X11Display> display = X11Display::fromQt();
    return display && display->hasCompositor();
}

std::unique_ptr<PaletteKeys> makePaletteKeys()
{
    if (std::shared_ptr<X11Display> display = X11Display::fromQt())
        return std::make_unique<X11PaletteKeys>(display, keyboardGrab(display));
    return nullptr;
}

std::unique_ptr<RecorderKeys> makeRecorderKeys()
{
    if (std::shared_ptr<X11Display> display = X11Display::fromQt())
        return std::make_unique<X11RecorderKeys>(display);
    return nullptr;
}
