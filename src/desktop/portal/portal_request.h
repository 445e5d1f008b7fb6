#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QCoro/QCoroTask>
#include <chrono>

// What a portal said to one request: its Response, or why there was none.
struct PortalResponse {
    enum class Outcome {
        success,   // response 0
        cancelled, // response 1: the user said no
        ended,     // response 2: the desktop ended the interaction
        failed,    // no portal, a D-Bus error or no answer in time
    };

    Outcome outcome = Outcome::failed;
    QVariantMap results;
    // Why it failed, for the user; empty unless the outcome is failed.
    QString error;

    bool ok() const { return outcome == Outcome::success; }
};

// One call of a portal method that answers through a Request object: the Response signal
// is subscribed on the Request path (built from the bus's unique name and a fresh
// handle_token) before the call is made, so an early answer is not lost. Nothing waits
// on the GUI thread: the call and the Response are awaited.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    static constexpr const char* service = "org.freedesktop.portal.Desktop";
    static constexpr const char* objectPath = "/org/freedesktop/portal/desktop";

    // Calls interface.method(arguments..., options) with options' handle_token set, and
    // waits up to `timeout` for the method's reply and then as long again for the Response.
    static QCoro::Task<PortalResponse> call(QDBusConnection bus, QString interface, QString method,
                                            QVariantList arguments, QVariantMap options,
                                            std::chrono::milliseconds timeout);

    // The object path the portal gives a request or session with this token.
    static QString pathFor(const QDBusConnection& bus, const QString& kind, const QString& token);
    // The session_handle of a CreateSession answer, sent as a string or an object path.
    static QString sessionHandle(const QVariantMap& results);
    // A token no earlier request of this process has used.
    static QString freshToken();

private slots:
    void onResponse(uint response, const QVariantMap& results);

signals:
    void answered();

private:
    using QObject::QObject;
    bool subscribe(QDBusConnection& bus, const QString& path);

    QString m_path;
    bool m_answered = false;
    uint m_response = 2;
    QVariantMap m_results;
};
