#pragma once

#include "records.h"

#include <QWidget>

class AppState;
class QVBoxLayout;

// Shows the page of the store's current tab. A page is created when its tab comes up and
// dropped when another one does, so every visit starts in its initial state and pages
// never shown cost nothing.
class DetailView : public QWidget {
    Q_OBJECT
public:
    explicit DetailView(AppState& appState, QWidget* parent = nullptr);

    // The one place that knows which widget is the page of a tab.
    static QWidget* createPage(MainTab tab, AppState& appState, QWidget* parent);

    QWidget* page() const { return m_page; }
    void showCurrentTab();
    void dropPage();

private:
    AppState& m_appState;
    QVBoxLayout* m_layout;
    QWidget* m_page = nullptr;
};
