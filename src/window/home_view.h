#pragma once

#include <QScrollArea>

class AppState;
class QGridLayout;
class QLabel;

// The first page: identity, the two counters, the getting-started steps, the first four
// enabled commands and the palette shortcut. It only reads the store, except that
// "All Commands" switches the window to the Commands tab.
class HomeView : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int quickCommandCount = 4;

    explicit HomeView(AppState& appState, QWidget* parent = nullptr);

private:
    void updateCounters();
    void rebuildQuickActions();

    AppState& m_appState;
    QLabel* m_commandCount = nullptr;
    QLabel* m_historyCount = nullptr;
    QGridLayout* m_quickGrid = nullptr;
};
