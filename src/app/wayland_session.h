#pragma once

#include <QProcessEnvironment>
#include <QString>

// Tovalin needs X11 to grab keys, read the selection and paste. In a Wayland session it
// runs through XWayland where it can, and says once what that means for the user.
namespace WaylandSession {
bool isWayland(const QProcessEnvironment& environment);
// Before the application object exists: picks X11 (XWayland) over Qt's native Wayland
// platform in a Wayland session with X11 access, unless the user chose a platform.
void preferX11();
// The line said at start in a Wayland session; empty elsewhere.
QString startLine(const QProcessEnvironment& environment, const QString& platformName);
} // namespace WaylandSession
