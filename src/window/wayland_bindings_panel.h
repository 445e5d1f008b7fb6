#pragma once

#include <QWidget>

class AppState;
class QPlainTextEdit;
class WaylandCompositorLines;

// In place of the hotkey recorders on a Wayland session, where no program can take keys
// for the whole desktop: the lines that make the compositor's own bindings run Tovalin
// (the palette, each command with a shortcut) and float its palette, ready to copy.
class WaylandBindingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit WaylandBindingsPanel(AppState& appState, QWidget* parent = nullptr);

    // The configuration lines for that compositor, from the stored shortcuts.
    static QString configText(const WaylandCompositorLines& lines, const AppState& appState);

private:
    void refresh();

    AppState& m_appState;
    QPlainTextEdit* m_text;
};
