#pragma once

#include "records.h"

#include <QWidget>
#include <optional>

class AppState;
class CommandFilterProxy;
class CommandListModel;
class QListView;
class SearchField;
class UndoBar;

// The Commands page: the user's list with search, switches, drag reordering, edit and
// delete, plus "Library", "Custom" and "Reset to Defaults". Holds no rows of its own.
class CommandsView : public QWidget {
    Q_OBJECT
public:
    explicit CommandsView(AppState& appState, QWidget* parent = nullptr);

    QListView* listView() const { return m_list; }
    SearchField* searchField() const { return m_search; }

    void showAddSheet();
    void showLibrary();
    void editCommand(const Command& command);
    // Both act at once and offer Undo.
    void deleteCommand(const Command& command);
    void resetToDefaults();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openRowEditors();
    void searchChanged(const QString& text);
    // The highlight belongs to a command, not to a row: it follows a command that moved.
    void keepHighlightOnCommand();

    AppState& m_appState;
    CommandListModel* m_model;
    CommandFilterProxy* m_filter;
    SearchField* m_search;
    QListView* m_list;
    UndoBar* m_undo;
    QUuid m_highlighted;
};
