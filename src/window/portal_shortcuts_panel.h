#pragma once

#include "portal/desktop_shell.h"

#include <QWidget>

class AppState;
class PortalHotkeyBackend;
class QLabel;
class QVBoxLayout;

// Where the desktop binds the hotkeys through its shortcuts portal (KDE Plasma 5.27+, GNOME
// 48+): what it finally bound for the palette and each command, a refusal or a trigger
// other than the one asked for in red, and where in the desktop's settings to change them.
class PortalShortcutsPanel : public QWidget {
    Q_OBJECT
public:
    PortalShortcutsPanel(AppState& appState, PortalHotkeyBackend& backend, DesktopShell::Kind desktop,
                         QWidget* parent = nullptr);

    // Whether the desktop's words for a trigger ("Shift+Meta+G") name the keys Tovalin asked
    // for ("SHIFT+LOGO+g").
    static bool sameKeys(const QString& requested, const QString& described);

private:
    void refresh();

    AppState& m_appState;
    PortalHotkeyBackend& m_backend;
    QVBoxLayout* m_rows;
};
