#pragma once

#include "desktop_notifier.h"
#include "event_sound.h"

#include <QObject>

class AppState;
struct Command;
class QSystemTrayIcon;

// What the user sees and hears of a run that happens out of sight: the tray icon while
// a provider works, a notification when a run fails or nothing was selected, and the
// event sounds when they are switched on.
class RunFeedback : public QObject {
    Q_OBJECT
public:
    RunFeedback(AppState& appState, QSystemTrayIcon* trayIcon, QObject* parent = nullptr);

    DesktopNotifier& notifier() { return m_notifier; }

private:
    void showBusy();
    void failed(const Command& command, const QString& message);

    AppState& m_appState;
    QSystemTrayIcon* m_trayIcon;
    DesktopNotifier m_notifier;
    EventSound m_sound;
};
