#include "accessibility_service.h"
#include "api_key_migration.h"
#include "app_delegate.h"
#include "app_state.h"
#include "command_line.h"
#include "file_defaults_store.h"
#include "hotkey_service.h"
#include "keychain_key_store.h"
#include "platform_backends.h"
#include "provider_factory.h"
#include "single_instance.h"
#include "unix_signal_watcher.h"
#include "wayland_session.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

namespace {
void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// --help, --version, refused arguments and the remote commands: no window, no hand-over.
int answerWithoutStarting(int argc, char** argv, const CommandLine& commandLine)
{
    QCoreApplication app(argc, argv);
    switch (commandLine.action()) {
    case CommandLine::Action::help:
        print(stdout, commandLine.helpText());
        return 0;
    case CommandLine::Action::version:
        print(stdout, QStringLiteral("Tovalin %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    case CommandLine::Action::invalid:
        print(stderr, QStringLiteral("tovalin: %1\nTry 'tovalin --help'.\n").arg(commandLine.error()));
        return CommandLine::usageExitCode;
    case CommandLine::Action::remote:
    case CommandLine::Action::start:
        break;
    }
    SingleInstance instance(SingleInstance::defaultRuntimeDir());
    const RemoteReply reply = instance.send(commandLine.request());
    print(reply.status == RemoteReply::done ? stdout : stderr, reply.message + QLatin1Char('\n'));
    return reply.status;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Tovalin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVALIN_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine(arguments);
    if (commandLine.action() != CommandLine::Action::start)
        return answerWithoutStarting(argc, argv, commandLine);

    WaylandSession::choosePlatformBeforeStart();
    QApplication app(argc, argv);
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
    KeychainKeyStore keys;
    services.apiKeys = &keys;
    services.aiServiceFactory = [&keys](const AppSettings& settings) { return makeRunService(settings, &keys); };
    AppState appState(services);
    // Keys still in the settings file move into the keyring once one answers.
    ApiKeyMigration keyMigration(appState, keys);
    keyMigration.start();

    AppDelegate delegate(appState, hotkeys, accessibility);
    delegate.setPermission({[&accessibility] { return accessibility.checkPermission(); },
                            [&accessibility] { accessibility.openAccessibilitySettings(); }});
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, &AppDelegate::showMainWindow);
    instance.setRequestHandler([&delegate](const RemoteRequest& request) { return delegate.answer(request); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    delegate.applicationDidFinishLaunching();
    // A plain start opens the main window (after the launch sequence has applied the theme);
    // --background, as the autostart entry starts Tovalin, leaves only the tray.
    if (!commandLine.background())
        QTimer::singleShot(0, &delegate, &AppDelegate::showMainWindow);

    return app.exec();
}
