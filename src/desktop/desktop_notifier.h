#pragma once

#include <QObject>
#include <QString>
#include <functional>

// Tells the user something happened: a freedesktop notification over the session bus,
// or, where no notification service answers, the fallback (the tray's own message).
// Never blocks: the call is sent and its answer read when it comes.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    using Fallback = std::function<void(const QString& summary, const QString& body)>;

    explicit DesktopNotifier(QObject* parent = nullptr);

    void setFallback(Fallback fallback) { m_fallback = std::move(fallback); }
    void notify(const QString& summary, const QString& body);

signals:
    // The service refused or is missing; the fallback (if any) has been used.
    void fellBack();

private:
    Fallback m_fallback;
};
