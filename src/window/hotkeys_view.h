#pragma once

#include <QScrollArea>
#include <cstdint>
#include <functional>

class AppState;
class HotkeyRecorderButton;
class QLabel;
class QPushButton;

// The Hotkeys page: the palette hotkey, recorded anew or set back to the default, and a
// few tips. A change is stored, saved and made the running palette hotkey at once.
class HotkeysView : public QScrollArea {
    Q_OBJECT
public:
    // Makes a combination the running application's palette hotkey in place of the previous
    // one; true when the new one is active. Empty when no application runs the hotkeys.
    using RegisterOverlayHotkey = std::function<bool(uint16_t keyCode, uint32_t modifiers)>;

    HotkeysView(AppState& appState, RegisterOverlayHotkey registerOverlayHotkey, QWidget* parent = nullptr);

    HotkeyRecorderButton* recorder() const { return m_recorder; }
    QPushButton* resetButton() const { return m_reset; }
    // In red: why a combination was refused, or which hotkeys do not work and why.
    QLabel* problemLabel() const { return m_problem; }

    // What the recorder reports and what "Reset to Default" does.
    void record(uint16_t keyCode, uint64_t modifiers);
    void resetToDefault();

protected:
    void changeEvent(QEvent* event) override;

private:
    // On a Wayland session, what binds the keys there: the desktop's portal, the
    // compositor's configuration, or the desktop's keyboard settings. Null elsewhere.
    QWidget* waylandPanel(QWidget* parent);
    void showStoredHotkey();
    void showProblems();
    void colorResetButton();

    AppState& m_appState;
    RegisterOverlayHotkey m_registerOverlayHotkey;
    HotkeyRecorderButton* m_recorder;
    QPushButton* m_reset;
    QLabel* m_problem;
};
