#pragma once

#include "records.h"

#include <QListWidget>

class AppState;

// The tab list: Home, Commands, Hotkeys and History, then Settings in a section of its
// own. Its selection is the store's currentTab, both ways.
class Sidebar : public QListWidget {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 180;
    static constexpr int defaultWidth = 200;

    explicit Sidebar(AppState& appState, QWidget* parent = nullptr);

    static QString label(MainTab tab);
    // The highlighted tab; nothing while no row is current.
    std::optional<MainTab> selectedTab() const;

private:
    void followStore();

    AppState& m_appState;
};
