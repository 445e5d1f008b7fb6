#include "run_feedback.h"

#include "app_state.h"
#include "symbol_icon.h"

#include <QSystemTrayIcon>

namespace {
const QColor kIdleTint(0x80, 0x80, 0x80);
const QColor kBusyTint(0x2f, 0x80, 0xed);
} // namespace

RunFeedback::RunFeedback(AppState& appState, QSystemTrayIcon* trayIcon, std::function<void()> openAISettings,
                         QObject* parent)
    : QObject(parent), m_appState(appState), m_trayIcon(trayIcon), m_openAISettings(std::move(openAISettings))
{
    m_notifier.setFallback([this](const QString& summary, const QString& body,
                                  const std::optional<DesktopNotifier::Action>& action) {
        if (m_trayIcon && m_trayIcon->isVisible() && QSystemTrayIcon::supportsMessages()) {
            m_messageAction = action;
            m_trayIcon->showMessage(summary, body, QSystemTrayIcon::Warning);
        }
    });
    if (m_trayIcon)
        connect(m_trayIcon, &QSystemTrayIcon::messageClicked, this, [this] {
            if (const auto action = std::exchange(m_messageAction, std::nullopt); action && action->run)
                action->run();
        });
    m_idleLater.setSingleShot(true);
    m_idleLater.setInterval(idleLookDelayMs);
    m_idleLater.callOnTimeout(this, [this] { showBusyLook(false); });
    connect(&appState, &AppState::runsInFlightChanged, this, &RunFeedback::showBusy);
    connect(&appState, &AppState::commandFailed, this, &RunFeedback::failed);
    connect(&appState, &AppState::commandSucceeded, this, [this] {
        if (m_appState.settings().soundEnabled)
            m_sound.play(EventSound::Event::complete);
    });
    connect(&appState, &AppState::answerLeftOnClipboard, this, [this](const Command& command) {
        m_notifier.notify(command.name, QStringLiteral("The window changed; the answer is on the clipboard"));
    });
    connect(&appState, &AppState::noTextSelected, this, [this](const QString& reason) {
        m_notifier.notify(QStringLiteral("No text selected"),
                          reason.isEmpty() ? QStringLiteral("Select some text first, then press the hotkey again.") : reason);
    });
    showBusy();
}

void RunFeedback::showBusy()
{
    if (m_appState.runsInFlight() > 0) {
        m_idleLater.stop();
        showBusyLook(true);
    } else if (!m_busyShown) {
        showBusyLook(false);
    } else {
        m_idleLater.start();
    }
}

void RunFeedback::showBusyLook(bool busy)
{
    if (!m_trayIcon || m_busyShown == busy)
        return;
    m_busyShown = busy;
    m_trayIcon->setIcon(busy ? SymbolIcon::icon(QStringLiteral("arrow.triangle.2.circlepath"), kBusyTint)
                             : SymbolIcon::icon(QStringLiteral("keyboard"), kIdleTint));
    m_trayIcon->setToolTip(busy ? QStringLiteral("Tovalin: working…") : QStringLiteral("Tovalin"));
}

void RunFeedback::failed(const Command& command, const QString& message, bool providerAtFault)
{
    std::optional<DesktopNotifier::Action> action;
    if (providerAtFault && m_openAISettings)
        action = DesktopNotifier::Action{QStringLiteral("open-ai-settings"), QLatin1String(openAISettingsLabel),
                                         m_openAISettings};
    m_notifier.notify(QStringLiteral("%1 failed").arg(command.name), message, action);
    if (m_appState.settings().soundEnabled)
        m_sound.play(EventSound::Event::error);
}
