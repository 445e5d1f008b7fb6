#pragma once

#include "records.h"

#include <QDialog>
#include <optional>

class AppState;
class HotkeyRecorderButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class ToggleSwitch;

// Creates a command (no command given) or edits one: name, category, icon, prompt,
// enabled and an optional shortcut recorded from a key press. A shortcut that clashes with
// another command, the palette or another program is refused as it is recorded, with the
// reason in red. Saving goes to the store, which registers the hotkeys; nothing is trimmed.
class CommandEditSheet : public QDialog {
    Q_OBJECT
public:
    CommandEditSheet(AppState& appState, std::optional<Command> command, QWidget* parent = nullptr);

    static const QStringList& iconOptions();

    QString shortcut() const { return m_shortcut; }
    std::optional<uint16_t> shortcutKeyCode() const { return m_shortcutKeyCode; }
    std::optional<uint64_t> shortcutModifiers() const { return m_shortcutModifiers; }
    HotkeyRecorderButton* recorder() const { return m_recorder; }
    QLabel* shortcutProblem() const { return m_shortcutProblem; }

    void save();

private:
    void setShortcut(const QString& shortcut, std::optional<uint16_t> keyCode, std::optional<uint64_t> modifiers);
    void updateSaveEnabled();
    void showShortcutProblem(const QString& problem);

    AppState& m_appState;
    std::optional<Command> m_command;
    QUuid m_id; // the edited command's, or the one a new command will have
    QString m_shortcut;
    std::optional<uint16_t> m_shortcutKeyCode;
    std::optional<uint64_t> m_shortcutModifiers;

    QLineEdit* m_name;
    QComboBox* m_category;
    QComboBox* m_icon;
    QPlainTextEdit* m_prompt;
    ToggleSwitch* m_enabled;
    HotkeyRecorderButton* m_recorder;
    QToolButton* m_clearShortcut;
    QLabel* m_shortcutProblem;
    QPushButton* m_save;
};
