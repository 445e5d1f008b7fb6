#pragma once

#include "portal/desktop_shell.h"

#include <QWidget>

class AppState;
class QVBoxLayout;

// On a GNOME or KDE Plasma Wayland session without the shortcuts portal: how to bind keys
// to Tovalin's command lines in the desktop's own settings, with each line ready to copy.
class DesktopShortcutsPanel : public QWidget {
    Q_OBJECT
public:
    DesktopShortcutsPanel(AppState& appState, DesktopShell::Kind desktop, QWidget* parent = nullptr);

    // Where that desktop binds a key to a command line.
    static QString howTo(DesktopShell::Kind desktop);

private:
    void refresh();

    AppState& m_appState;
    QVBoxLayout* m_rows;
};
