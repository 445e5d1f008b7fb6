#pragma once

#include <QDBusConnection>
#include <QProcessEnvironment>

// Which desktop's settings the user binds keys in. Asked of the session bus first (the
// shell's own service answers there whatever the session calls itself), then of
// XDG_CURRENT_DESKTOP.
namespace DesktopShell {
enum class Kind { gnome, kde, unknown };
Kind probe(const QDBusConnection& bus, const QProcessEnvironment& environment);
// The running session's, asked once per process.
Kind session();
} // namespace DesktopShell
