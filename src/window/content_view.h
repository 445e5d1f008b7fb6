#pragma once

#include "hotkeys_view.h"

#include <QWidget>
#include <functional>

class AccessibilityPermissionView;
class AppState;
class DetailView;
class QSplitter;
class QStackedLayout;
class Sidebar;

// The main window: the sidebar of tabs beside the current tab's page or, while text
// cannot be read and replaced, the permission screen. Closing it only hides it; the
// current tab lives in the store, so reopening shows the same tab.
class ContentView : public QWidget {
    Q_OBJECT
public:
    struct Permission {
        std::function<bool()> check;        // empty: always granted
        std::function<void()> openSettings; // may be empty
    };

    // registerOverlayHotkey comes from the running application; the Hotkeys page uses it.
    explicit ContentView(AppState& appState, Permission permission = {},
                         HotkeysView::RegisterOverlayHotkey registerOverlayHotkey = {}, QWidget* parent = nullptr);

    bool hasAccessibilityPermission() const { return m_hasAccessibilityPermission; }
    Sidebar* sidebar() const { return m_sidebar; }
    DetailView* detailView() const { return m_detail; }
    AccessibilityPermissionView* permissionView() const { return m_permissionView; }

    // Shows the window, out of the taskbar if it was minimised, raised and focused.
    void bringForward();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showTabs();

    AppState& m_appState;
    Permission m_permission;
    HotkeysView::RegisterOverlayHotkey m_registerOverlayHotkey;
    bool m_hasAccessibilityPermission = false;
    QStackedLayout* m_stack;
    QSplitter* m_split = nullptr;
    Sidebar* m_sidebar = nullptr;
    DetailView* m_detail = nullptr;
    AccessibilityPermissionView* m_permissionView = nullptr;
};
