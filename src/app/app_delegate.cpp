#include "app_delegate.h"

#include "app_state.h"
#include "console.h"
#include "hotkey_registry.h"
#include "overlay_panel.h"
#include "platform_backends.h"
#include "run_feedback.h"
#include "selection_access.h"
#include "settings_view.h"
#include "symbol_icon.h"
#include "wayland_session.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QMenu>
#include <QProcessEnvironment>
#include <QSystemTrayIcon>
#include <QTimer>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <QWidget>
#include <algorithm>

namespace {
constexpr uint32_t kDefaultKeyCode = 49;        // Space
constexpr uint32_t kDefaultModifiers = 0x120000; // command + shift
constexpr int kTrimAfterRunsMs = 2000;
}

AppDelegate::AppDelegate(AppState& appState, HotkeyRegistry& hotkeys, SelectionAccess& selection,
                         QObject* parent)
    : QObject(parent), m_appState(appState), m_hotkeys(hotkeys), m_selection(selection)
{
#ifdef __GLIBC__
    // A run leaves freed pieces of its texts and replies all over the heap; glibc keeps
    // them resident until told. Once the runs are over, give them back.
    connect(&m_appState, &AppState::runsInFlightChanged, this, [this] {
        if (m_appState.runsInFlight() == 0)
            QTimer::singleShot(kTrimAfterRunsMs, this, [this] {
                if (m_appState.runsInFlight() == 0)
                    malloc_trim(0);
            });
    });
#endif
}

AppDelegate::~AppDelegate()
{
    applicationWillTerminate();
}

void AppDelegate::applicationDidFinishLaunching()
{
    QTimer::singleShot(0, this, &AppDelegate::runLaunchSequence);
}

void AppDelegate::runLaunchSequence()
{
    const QString platform = QGuiApplication::platformName();
    if (const QString line = WaylandSession::startLine(QProcessEnvironment::systemEnvironment(), platform);
        !line.isEmpty())
        Console::line(line);
    else if (platform != QLatin1String("xcb"))
        Console::line(QStringLiteral("Global hotkeys and pasting need an X11 session; running on %1").arg(platform));
    followAutostartEntry();
    installStatusItem();
    registerOverlayHotkey();
    registerCommandHotkeys();
    m_overlayPanel = std::make_unique<OverlayPanel>(m_appState);
    m_paletteKeys = makePaletteKeys();
    m_overlayPanel->setPaletteKeys(m_paletteKeys.get());
    m_appliedTheme = m_appState.settings().theme;
    m_theme.apply(m_appliedTheme);
    connect(&m_appState, &AppState::settingsChanged, this, &AppDelegate::applySystemSettings);
    // The native window and the font configuration now rather than on the first key press.
    QTimer::singleShot(0, m_overlayPanel.get(), &OverlayPanel::warmUp);
#ifdef __GLIBC__
    // What starting up allocated and freed (settings parsing, font configuration) goes back.
    QTimer::singleShot(kTrimAfterRunsMs, this, [] { malloc_trim(0); });
#endif
}

void AppDelegate::installStatusItem()
{
    m_menu = std::make_unique<QMenu>();
    QAction* show = m_menu->addAction(QStringLiteral("Show Tovalin"));
    connect(show, &QAction::triggered, this, &AppDelegate::showMainWindow);
    m_menu->addSeparator();
    QAction* trigger = m_menu->addAction(QStringLiteral("Trigger Command"));
    trigger->setShortcut(QKeySequence(Qt::META | Qt::Key_Space));
    trigger->setShortcutVisibleInContextMenu(true);
    connect(trigger, &QAction::triggered, this, &AppDelegate::triggerOverlay);
    // Offered only while a run waits for its answer, from the palette or a command hotkey.
    QAction* cancel = m_menu->addAction(QStringLiteral("Cancel"));
    cancel->setVisible(m_appState.hasRunsToCancel());
    connect(cancel, &QAction::triggered, &m_appState, &AppState::cancelAllRuns);
    connect(&m_appState, &AppState::runsToCancelChanged, cancel,
            [this, cancel] { cancel->setVisible(m_appState.hasRunsToCancel()); });
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutVisibleInContextMenu(true);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);

    m_statusItem = new QSystemTrayIcon(this);
    m_feedback = std::make_unique<RunFeedback>(m_appState, m_statusItem, [this] { openAISettings(); });
    m_statusItem->setContextMenu(m_menu.get());
    // A left click opens the palette like the menu item; the menu is on the right button.
    connect(m_statusItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            triggerOverlay();
    });
    // Hidden, Tovalin is still reached by its hotkey, the remote commands and a second start.
    m_statusItem->setVisible(m_appState.settings().showInMenuBar);
}

void AppDelegate::applySystemSettings()
{
    const AppSettings& settings = m_appState.settings();
    // The theme recolours every open window and the palette at once, but only when it
    // changed: a slider dragged in Settings saves on every step.
    if (settings.theme != m_appliedTheme) {
        m_appliedTheme = settings.theme;
        m_theme.apply(settings.theme);
    }
    if (m_statusItem)
        m_statusItem->setVisible(settings.showInMenuBar);
    // Only a change of "Launch at login" itself writes the entry: another setting saved
    // while the entry was removed or switched off elsewhere must not bring it back.
    if (settings.launchAtLogin == m_appliedLaunchAtLogin)
        return;
    m_appliedLaunchAtLogin = settings.launchAtLogin;
    if (settings.launchAtLogin != m_autostart.isInstalled() && !m_autostart.setInstalled(settings.launchAtLogin))
        followAutostartEntry();
}

void AppDelegate::followAutostartEntry()
{
    AppSettings settings = m_appState.settings();
    const bool installed = m_autostart.isInstalled();
    m_appliedLaunchAtLogin = installed;
    if (settings.launchAtLogin == installed)
        return;
    settings.launchAtLogin = installed;
    m_appState.setSettings(settings);
    m_appState.saveSettings();
}

HotkeyRegistry::Action AppDelegate::paletteAction()
{
    return [self = QPointer<AppDelegate>(this)] {
        if (self)
            self->triggerOverlay();
    };
}

void AppDelegate::registerOverlayHotkey()
{
    const HotkeyConfig stored = m_appState.settings().overlayHotkey;
    const HotkeyRegistry::Action action = paletteAction();
    // Flags never use the high bits; a mask that does not fit is not a combination we can grab.
    const bool fits = stored.modifiers <= 0xFFFFFFFFu;
    if (fits && m_hotkeys.registerOverlayHotkey(stored.keyCode, uint32_t(stored.modifiers), action))
        return;
    // The stored setting stays as it is, so the Hotkeys page still shows it.
    m_hotkeys.registerOverlayHotkey(kDefaultKeyCode, kDefaultModifiers, action);
}

void AppDelegate::registerCommandHotkeys()
{
    m_appState.registerCommandHotkeys();
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    m_hotkeys.unregisterAll();
}

void AppDelegate::showMainWindow()
{
    followAutostartEntry();
    // Built on first use, so a start in the background never pays for it.
    if (!m_mainWindow)
        m_mainWindow = std::make_unique<ContentView>(
            m_appState, m_permission, [this](uint16_t keyCode, uint32_t modifiers) {
                return m_hotkeys.registerOverlayHotkey(keyCode, modifiers, paletteAction());
            });
    m_mainWindow->bringForward();
}

void AppDelegate::openAISettings()
{
    showMainWindow();
    m_appState.setCurrentTab(MainTab::settings);
    // The page is built when its tab is first shown; without X11 the window shows no tabs.
    if (auto* settings = m_mainWindow->findChild<SettingsView*>())
        settings->openAISettings();
}

void AppDelegate::triggerOverlay()
{
    disconnect(m_readAfterPaint);
    if (m_overlayPanel && m_selection.readsBesidePalette()) {
        // The palette is painted first and the text read beside it: the program holding the
        // selection answers while the user looks, and a Return before it has waits for it.
        m_appState.openOverlayBeforeText();
        m_readAfterPaint = connect(
            m_overlayPanel.get(), &OverlayPanel::shown, this,
            [this] { [[maybe_unused]] QCoro::Task<> read = m_appState.readSelectionBesideOverlay(); },
            Qt::SingleShotConnection);
        showOverlayPanel();
        return;
    }
    QPointer<AppDelegate> self(this);
    [](QPointer<AppDelegate> self) -> QCoro::Task<> {
        co_await self->m_appState.openOverlay();
        if (self)
            self->showOverlayPanel();
    }(self);
}

void AppDelegate::showOverlayPanel()
{
    if (!m_overlayPanel)
        return;
    // Compositors come and go (a session may toggle its effects): ask each time.
    m_overlayPanel->setTranslucent(compositorRunning());
    m_overlayPanel->showOverlay();
}

RemoteReply AppDelegate::answer(const RemoteRequest& request)
{
    if (request.kind == RemoteRequest::Kind::palette) {
        triggerOverlay();
        return {RemoteReply::done, QStringLiteral("Opening the palette")};
    }
    // Show never comes here: the instance guard answers it.
    const QList<Command>& commands = m_appState.commands();
    const auto named = std::find_if(commands.cbegin(), commands.cend(), [&](const Command& command) {
        return command.isEnabled && command.name == request.commandName;
    });
    if (named == commands.cend())
        return {RemoteReply::noSuchCommand, QStringLiteral("No enabled command is named \"%1\"").arg(request.commandName)};
    m_appState.runOnSelection(*named);
    return {RemoteReply::done, QStringLiteral("Running \"%1\" on the selection").arg(named->name)};
}
