#include "accessibility_service.h"
#include "app_delegate.h"
#include "app_state.h"
#include "file_defaults_store.h"
#include "hotkey_service.h"
#include "platform_backends.h"
#include "provider_factory.h"
#include "single_instance.h"
#include "unix_signal_watcher.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovalin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tovalin"));
    QApplication::setDesktopFileName(QStringLiteral("tovalin"));
    // Closing a window never ends a tray application; only Quit does.
    QApplication::setQuitOnLastWindowClosed(false);

    FileDefaultsStore defaults = FileDefaultsStore::forCurrentUser();
    SingleInstance instance(SingleInstance::defaultRuntimeDir(), {defaults.configDir(), defaults.stateDir()});
    if (!instance.claim())
        return instance.handedOver() ? 0 : 1;

    UnixSignalWatcher signals_;
    QObject::connect(&signals_, &UnixSignalWatcher::terminationRequested, &app, &QCoreApplication::quit);

    HotkeyService hotkeys(makeHotkeyBackend());
    AccessibilityService accessibility(makeAccessibilityBackend());

    AppState::Services services;
    services.defaults = &defaults;
    services.hotkeys = &hotkeys;
    services.accessibilityService = &accessibility;
    services.aiServiceFactory = [](const AppSettings& settings) { return makeAIService(settings); };
    AppState appState(services);

    AppDelegate delegate(appState, hotkeys, accessibility);
    delegate.setPermission({[&accessibility] { return accessibility.checkPermission(); },
                            [&accessibility] { accessibility.openAccessibilitySettings(); }});
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, &AppDelegate::showMainWindow);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    delegate.applicationDidFinishLaunching();
    // A plain start opens the main window (after the launch sequence has applied the theme);
    // --background, as the autostart entry starts Tovalin, leaves only the tray.
    if (!QCoreApplication::arguments().contains(QStringLiteral("--background")))
        QTimer::singleShot(0, &delegate, &AppDelegate::showMainWindow);

    return app.exec();
}
