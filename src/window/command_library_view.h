#pragma once

#include "records.h"

#include <QDialog>
#include <optional>

class AppState;
class CategoryPill;
class CommandFilterProxy;
class QListView;

// The library browser sheet: search, category pills and the built-in commands, each
// copied into the user's list with its add button. Stays open after an add.
class CommandLibraryView : public QDialog {
    Q_OBJECT
public:
    explicit CommandLibraryView(AppState& appState, QWidget* parent = nullptr);

    std::optional<CommandCategory> selectedCategory() const;
    void setSelectedCategory(std::optional<CommandCategory> category);
    QListView* listView() const { return m_list; }

private:
    void openRowEditors();

    AppState& m_appState;
    CommandFilterProxy* m_filter;
    QListView* m_list;
    QList<CategoryPill*> m_pills; // "All" first, then the categories in case order
};
