#include "portal_request.h"

#include "signal_or_timeout.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
constexpr auto requestInterface = "org.freedesktop.portal.Request";

QString failureText(const QDBusError& error)
{
    if (error.type() == QDBusError::ServiceUnknown)
        return QStringLiteral("The desktop portal (xdg-desktop-portal) is not running");
    if (error.type() == QDBusError::UnknownMethod || error.type() == QDBusError::UnknownInterface
        || error.type() == QDBusError::UnknownObject)
        return QStringLiteral("The desktop portal does not offer this: %1").arg(error.message());
    if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout)
        return QStringLiteral("The desktop portal did not answer in time");
    return QStringLiteral("The desktop portal refused the call: %1").arg(error.message());
}
} // namespace

QString PortalRequest::pathFor(const QDBusConnection& bus, const QString& kind, const QString& token)
{
    // ":1.42" becomes "1_42".
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/%1/%2/%3").arg(kind, sender, token);
}

QString PortalRequest::sessionHandle(const QVariantMap& results)
{
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    if (handle.canConvert<QDBusObjectPath>() && handle.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return handle.value<QDBusObjectPath>().path();
    return handle.toString();
}

QString PortalRequest::freshToken()
{
    static uint counter = 0;
    return QStringLiteral("tovalin%1").arg(++counter);
}

bool PortalRequest::subscribe(QDBusConnection& bus, const QString& path)
{
    if (!m_path.isEmpty())
        bus.disconnect(QString::fromLatin1(service), m_path, QString::fromLatin1(requestInterface),
                       QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    m_path = path;
    return bus.connect(QString::fromLatin1(service), path, QString::fromLatin1(requestInterface),
                       QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint response, const QVariantMap& results)
{
    if (m_answered)
        return;
    m_answered = true;
    m_response = response;
    m_results = results;
    emit answered();
}

QCoro::Task<PortalResponse> PortalRequest::call(QDBusConnection bus, QString interface, QString method,
                                                QVariantList arguments, QVariantMap options,
                                                std::chrono::milliseconds timeout)
{
    PortalResponse outcome;
    if (!bus.isConnected()) {
        outcome.error = QStringLiteral("There is no session bus to reach the desktop portal on");
        co_return outcome;
    }
    PortalRequest request;
    const QString token = freshToken();
    options.insert(QStringLiteral("handle_token"), token);
    request.subscribe(bus, pathFor(bus, QStringLiteral("request"), token));

    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(objectPath),
                                                          interface, method);
    message.setArguments(arguments << options);
    QDBusPendingCallWatcher watcher(bus.asyncCall(message, int(timeout.count())));
    if (!watcher.isFinished())
        co_await SignalOrTimeout(&watcher, &QDBusPendingCallWatcher::finished, timeout + std::chrono::seconds(1));
    const QDBusPendingReply<QDBusObjectPath> reply = watcher;
    if (!watcher.isFinished() || reply.isError()) {
        outcome.error = watcher.isFinished() ? failureText(reply.error())
                                             : QStringLiteral("The desktop portal did not answer in time");
        co_return outcome;
    }
    // Portals older than the handle_token scheme answer on a path of their own choosing.
    if (reply.value().path() != request.m_path && !request.m_answered)
        request.subscribe(bus, reply.value().path());

    if (!request.m_answered && !co_await SignalOrTimeout(&request, &PortalRequest::answered, timeout)) {
        // Withdraw the request so no dialog is left behind for an answer nobody reads.
        bus.asyncCall(QDBusMessage::createMethodCall(QString::fromLatin1(service), request.m_path,
                                                     QString::fromLatin1(requestInterface), QStringLiteral("Close")));
        outcome.error = QStringLiteral("The desktop portal did not answer in time");
        co_return outcome;
    }
    outcome.results = request.m_results;
    outcome.outcome = request.m_response == 0 ? PortalResponse::Outcome::success
        : request.m_response == 1             ? PortalResponse::Outcome::cancelled
                                              : PortalResponse::Outcome::ended;
    co_return outcome;
}
