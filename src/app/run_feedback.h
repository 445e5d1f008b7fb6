#pragma once

#include "desktop_notifier.h"
#include "event_sound.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

class AppState;
struct Command;
class QSystemTrayIcon;

// What the user sees and hears of a run that happens out of sight: the tray icon while
// a provider works, a notification when a run fails or nothing was selected, and the
// event sounds when they are switched on. A failure the AI settings can mend offers to
// open them, from the notification's button or a click on the tray's message.
class RunFeedback : public QObject {
    Q_OBJECT
public:
    static constexpr auto openAISettingsLabel = "Open AI Settings";
    static constexpr int idleLookDelayMs = 300;

    RunFeedback(AppState& appState, QSystemTrayIcon* trayIcon, std::function<void()> openAISettings,
                QObject* parent = nullptr);

    DesktopNotifier& notifier() { return m_notifier; }

private:
    void showBusy();
    void showBusyLook(bool busy);
    void failed(const Command& command, const QString& message, bool providerAtFault);

    AppState& m_appState;
    QSystemTrayIcon* m_trayIcon;
    std::function<void()> m_openAISettings;
    DesktopNotifier m_notifier;
    // What a click on the tray's last message does.
    std::optional<DesktopNotifier::Action> m_messageAction;
    EventSound m_sound;
    // A run passes through no run at all between its answer and its paste: the idle look
    // comes a moment after the last run, so the icon is not drawn twice on the way.
    QTimer m_idleLater;
    std::optional<bool> m_busyShown;
};
