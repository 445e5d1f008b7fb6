#pragma once

#include "wayland/wayland_parts.h"

#include <QProcessEnvironment>
#include <QString>
#include <optional>

// In a Wayland session Tovalin runs as a native Wayland client where it can paste (the
// compositor's virtual keyboard, or the desktop's RemoteDesktop portal), and through
// XWayland where it cannot but X11 is there.
// TOVALIN_BACKEND=wayland or =x11 forces one; a QT_QPA_PLATFORM the user set wins.
namespace WaylandSession {
bool isWayland(const QProcessEnvironment& environment);
// The Qt platform to start on, from what the compositor offers (nothing when no
// compositor answered): "wayland", "xcb", or empty to leave Qt's choice alone.
QString choosePlatform(const QProcessEnvironment& environment, const std::optional<WaylandParts>& offered);
// Before the application object exists: asks the compositor what it offers and sets
// QT_QPA_PLATFORM to the choice.
void choosePlatformBeforeStart();
// The line said at start in a Wayland session, which backend and parts and why; empty elsewhere.
QString startLine(const QProcessEnvironment& environment, const QString& platformName,
                  const std::optional<WaylandParts>& offered);
QString startLine(const QProcessEnvironment& environment, const QString& platformName);
} // namespace WaylandSession
