#include "portal_keyboard.h"

#include "portal_clipboard.h"
#include "private_path.h"
#include "signal_or_timeout.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
constexpr auto remoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr uint keyboardDevice = 1;
// Kept until the user revokes it in the desktop's settings.
constexpr uint persistUntilRevoked = 2;
constexpr uint released = 0;
constexpr uint pressed = 1;

PortalKeyboard* latest = nullptr;
} // namespace

PortalKeyboard::PortalKeyboard(QDBusConnection bus, QString tokenFile, std::chrono::milliseconds timeout,
                               QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_tokenFile(std::move(tokenFile)), m_timeout(timeout)
{
    if (!readToken().isEmpty())
        m_state = State::remembered;
    latest = this;
}

PortalKeyboard::~PortalKeyboard()
{
    if (latest == this)
        latest = nullptr;
}

PortalKeyboard* PortalKeyboard::inUse()
{
    return latest;
}

void PortalKeyboard::setState(State state, const QString& problem)
{
    m_problem = problem;
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

QString PortalKeyboard::readToken() const
{
    QFile file(m_tokenFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

void PortalKeyboard::saveToken(const QString& token)
{
    if (token.isEmpty())
        return;
    // The token lets its holder type into the user's windows without asking.
    if (!PrivatePath::prepareFolder(QFileInfo(m_tokenFile).absolutePath(), true).isEmpty()
        || !PrivatePath::entryProblem(m_tokenFile).isEmpty())
        return;
    QSaveFile file(m_tokenFile);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(token.toUtf8());
    file.commit();
}

void PortalKeyboard::shareClipboard(PortalClipboard* clipboard)
{
    m_clipboard = clipboard;
}

bool PortalKeyboard::clipboardEnabled() const
{
    return !m_session.isEmpty() && m_clipboard && m_clipboard->isBound();
}

void PortalKeyboard::askAgain()
{
    if (!m_session.isEmpty())
        m_bus.asyncCall(QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service), m_session,
                                                       QStringLiteral("org.freedesktop.portal.Session"),
                                                       QStringLiteral("Close")));
    onSessionClosed();
    QFile::remove(m_tokenFile);
    setState(State::notAsked);
}

void PortalKeyboard::askAgainNow()
{
    askAgain();
    start();
}

void PortalKeyboard::onSessionClosed()
{
    if (m_session.isEmpty())
        return;
    m_bus.disconnect(QString::fromLatin1(PortalRequest::service), m_session, QStringLiteral("org.freedesktop.portal.Session"),
                     QStringLiteral("Closed"), this, SLOT(onSessionClosed()));
    m_session.clear();
    if (m_clipboard)
        m_clipboard->bind({});
    if (m_state == State::granted)
        setState(readToken().isEmpty() ? State::notAsked : State::remembered);
}

QCoro::Task<bool> PortalKeyboard::start()
{
    if (!m_session.isEmpty())
        co_return true;
    // A second caller while the dialog is up waits for the first one's answer.
    if (m_starting) {
        co_await SignalOrTimeout(this, &PortalKeyboard::stateChanged, m_timeout * 3);
        co_return !m_session.isEmpty();
    }
    m_starting = true;
    const bool opened = co_await openSession();
    m_starting = false;
    co_return opened;
}

QCoro::Task<bool> PortalKeyboard::openSession()
{
    // Arguments are built before each co_await: GCC 12 miscompiles QStringLiteral and
    // braced lists inside an awaited expression.
    const QString interface = QString::fromLatin1(remoteDesktop);
    const QString createSession = QStringLiteral("CreateSession");
    const QVariantMap sessionOptions{{QStringLiteral("session_handle_token"), PortalRequest::freshToken()}};
    const PortalResponse created =
        co_await PortalRequest::call(m_bus, interface, createSession, {}, sessionOptions, m_timeout);
    if (!created.ok()) {
        setState(State::failed, created.error.isEmpty() ? QStringLiteral("The desktop refused a remote keyboard session")
                                                        : created.error);
        co_return false;
    }
    const QString session = PortalRequest::sessionHandle(created.results);
    const QVariantList sessionArgument{QVariant::fromValue(QDBusObjectPath(session))};
    QVariantMap devices{{QStringLiteral("types"), keyboardDevice}, {QStringLiteral("persist_mode"), persistUntilRevoked}};
    if (const QString token = readToken(); !token.isEmpty())
        devices.insert(QStringLiteral("restore_token"), token);
    const QString selectDevices = QStringLiteral("SelectDevices");
    const PortalResponse selected =
        co_await PortalRequest::call(m_bus, interface, selectDevices, sessionArgument, devices, m_timeout);
    // The clipboard is asked for before the start, and follows the session from then on:
    // the desktop may report its owner as soon as the session starts. (No co_await amid a
    // chain of &&: GCC 12 evaluates it even when the terms before it were false.)
    if (selected.ok() && m_clipboard) {
        const bool requested = co_await requestClipboard(session);
        if (requested && m_clipboard)
            m_clipboard->bind(session);
    }
    PortalResponse started = selected;
    if (selected.ok()) {
        const QString startMethod = QStringLiteral("Start");
        const QVariantList startArguments = sessionArgument + QVariantList{QString()};
        started = co_await PortalRequest::call(m_bus, interface, startMethod, startArguments, {}, m_timeout);
    }
    const bool keyboardAllowed = (started.results.value(QStringLiteral("devices")).toUInt() & keyboardDevice) != 0;
    if (m_clipboard && (!keyboardAllowed || !started.results.value(QStringLiteral("clipboard_enabled")).toBool()))
        m_clipboard->bind({});
    if (!started.ok()) {
        m_bus.asyncCall(QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service), session,
                                                       QStringLiteral("org.freedesktop.portal.Session"),
                                                       QStringLiteral("Close")));
        if (started.outcome == PortalResponse::Outcome::failed)
            setState(State::failed, started.error);
        else
            setState(State::refused, QStringLiteral("The desktop did not allow Tovalin to type into your window"));
        co_return false;
    }
    if (!keyboardAllowed) {
        setState(State::refused, QStringLiteral("The desktop allowed no keyboard for Tovalin to type with"));
        co_return false;
    }
    // Each token is good for one start: the next start needs the new one.
    saveToken(started.results.value(QStringLiteral("restore_token")).toString());
    m_session = session;
    m_bus.connect(QString::fromLatin1(PortalRequest::service), m_session, QStringLiteral("org.freedesktop.portal.Session"),
                  QStringLiteral("Closed"), this, SLOT(onSessionClosed()));
    setState(State::granted);
    co_return true;
}

QCoro::Task<bool> PortalKeyboard::requestClipboard(const QString& session)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service),
                                                          QString::fromLatin1(PortalRequest::objectPath),
                                                          QStringLiteral("org.freedesktop.portal.Clipboard"),
                                                          QStringLiteral("RequestClipboard"));
    message << QVariant::fromValue(QDBusObjectPath(session)) << QVariantMap();
    QDBusPendingCallWatcher watcher(m_bus.asyncCall(message, int(m_timeout.count())));
    if (!watcher.isFinished())
        co_await SignalOrTimeout(&watcher, &QDBusPendingCallWatcher::finished, m_timeout);
    co_return watcher.isFinished() && !watcher.isError();
}

QCoro::Task<bool> PortalKeyboard::chord(QList<int> modifiers, int key)
{
    if (!co_await start())
        co_return false;
    QList<std::pair<int, uint>> steps;
    for (int modifier : std::as_const(modifiers))
        steps.append({modifier, pressed});
    steps.append({key, pressed});
    steps.append({key, released});
    for (auto it = modifiers.crbegin(); it != modifiers.crend(); ++it)
        steps.append({*it, released});
    // Each key waits for the portal's reply to the one before: xdg-desktop-portal handles
    // calls on worker threads, so keys sent together can reach the desktop out of order
    // (seen on GNOME 43: an Insert released before it was pressed, and nothing pasted).
    for (const auto& [keysym, keyState] : steps) {
        QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service),
                                                              QString::fromLatin1(PortalRequest::objectPath),
                                                              QString::fromLatin1(remoteDesktop),
                                                              QStringLiteral("NotifyKeyboardKeysym"));
        message << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << keysym << keyState;
        QDBusPendingCallWatcher watcher(m_bus.asyncCall(message, int(m_timeout.count())));
        if (!watcher.isFinished())
            co_await SignalOrTimeout(&watcher, &QDBusPendingCallWatcher::finished, m_timeout);
        if (!watcher.isFinished() || watcher.isError()) {
            setState(State::failed, QStringLiteral("The desktop portal did not take the keys: %1")
                                        .arg(watcher.isFinished() ? watcher.error().message() : QStringLiteral("no answer")));
            co_return false;
        }
    }
    co_return true;
}
