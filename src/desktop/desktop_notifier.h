#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// Tells the user something happened: a freedesktop notification over the session bus,
// or, where no notification service answers, the fallback (the tray's own message).
// A notification may carry one action, a button that runs `run` when pressed (the
// service's ActionInvoked signal). Never blocks: the call is sent and its answer read
// when it comes.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    struct Action {
        QString key;   // what the service reports back, e.g. "open-ai-settings"
        QString label; // the button's text
        std::function<void()> run;
    };
    using Fallback = std::function<void(const QString& summary, const QString& body,
                                        const std::optional<Action>& action)>;

    explicit DesktopNotifier(QObject* parent = nullptr);

    void setFallback(Fallback fallback) { m_fallback = std::move(fallback); }
    void notify(const QString& summary, const QString& body, std::optional<Action> action = std::nullopt);

signals:
    // The service refused or is missing; the fallback (if any) has been used.
    void fellBack();

private slots:
    void actionInvoked(uint id, const QString& key);
    void notificationClosed(uint id, uint reason);

private:
    void listen();

    Fallback m_fallback;
    QHash<uint, Action> m_actions; // notifications on screen with an action
    bool m_listening = false;
};
