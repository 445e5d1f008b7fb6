#pragma once

#include "autostart_entry.h"
#include "content_view.h"
#include "hotkey_registry.h"
#include "remote_request.h"
#include "theme_applier.h"

#include <QObject>
#include <QPointer>
#include <memory>

class AppState;
class OverlayPanel;
class PaletteKeys;
class QMenu;
class RunFeedback;
class QSystemTrayIcon;
class SelectionAccess;

// Ties the store, the desktop services and the palette together for the life
// of the process: tray item, hotkeys at launch, palette on request, release at exit.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(AppState& appState, HotkeyRegistry& hotkeys, SelectionAccess& selection,
                QObject* parent = nullptr);
    ~AppDelegate() override;

    OverlayPanel* overlayPanel() const { return m_overlayPanel.get(); }
    QSystemTrayIcon* statusItem() const { return m_statusItem; }
    RunFeedback* runFeedback() const { return m_feedback.get(); }
    // The main window; null until it is first asked for.
    ContentView* mainWindow() const { return m_mainWindow.get(); }
    // How the main window tells whether text can be read and replaced.
    void setPermission(ContentView::Permission permission) { m_permission = std::move(permission); }
    // What "Launch at login" writes and removes.
    const AutostartEntry& autostartEntry() const { return m_autostart; }

    // A remote command of another start: palette and run (show goes to showMainWindow).
    RemoteReply answer(const RemoteRequest& request);

public slots:
    // Runs the launch sequence on the next turn of the event loop.
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    void showMainWindow();
    // The main window on the Settings page with the AI settings sheet open.
    void openAISettings();
    void triggerOverlay();

private:
    void runLaunchSequence();
    void installStatusItem();
    void registerOverlayHotkey();
    void showOverlayPanel();
    HotkeyRegistry::Action paletteAction();
    void registerCommandHotkeys();
    // "Show in menu bar" and "Launch at login" take effect as soon as they change.
    void applySystemSettings();
    // The store follows the autostart entry, which the user may remove by hand.
    void followAutostartEntry();

    AppState& m_appState;
    HotkeyRegistry& m_hotkeys;
    SelectionAccess& m_selection;
    std::unique_ptr<PaletteKeys> m_paletteKeys;
    std::unique_ptr<OverlayPanel> m_overlayPanel;
    QMetaObject::Connection m_readAfterPaint; // the showing's read, once its first paint is out
    QSystemTrayIcon* m_statusItem = nullptr;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<RunFeedback> m_feedback;
    ThemeApplier m_theme;
    AppTheme m_appliedTheme = AppTheme::system;
    ContentView::Permission m_permission;
    AutostartEntry m_autostart;
    bool m_appliedLaunchAtLogin = false; // what the entry was last made or found to be
    std::unique_ptr<ContentView> m_mainWindow;
    bool m_terminated = false;
};
