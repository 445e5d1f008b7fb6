#include "portal_clipboard.h"

#include "console.h"
#include "descriptor_transfer.h"
#include "portal_request.h"
#include "signal_or_timeout.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QPointer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr auto clipboardInterface = "org.freedesktop.portal.Clipboard";

// The names programs give plain text, the best first; ours is offered under all of them.
const QStringList& textTypes()
{
    static const QStringList types{QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain"),
                                   QStringLiteral("UTF8_STRING"), QStringLiteral("STRING"), QStringLiteral("TEXT")};
    return types;
}

// GNOME's portal passed mutter's own names through before it translated them: "mime-types"
// as a structure of one string list, and "session-is-owner".
QVariant option(const QVariantMap& options, const QString& name)
{
    return options.value(name, options.value(QString(name).replace(QLatin1Char('_'), QLatin1Char('-'))));
}

QStringList offeredTypes(const QVariantMap& options)
{
    const QVariant value = option(options, QStringLiteral("mime_types"));
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return value.toStringList();
    const QDBusArgument argument = value.value<QDBusArgument>();
    QStringList types;
    if (argument.currentType() == QDBusArgument::StructureType) {
        argument.beginStructure();
        argument >> types;
        argument.endStructure();
    } else {
        argument >> types;
    }
    return types;
}
} // namespace

PortalClipboard::PortalClipboard(QDBusConnection bus, std::chrono::milliseconds transferWait, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_transferWait(transferWait)
{
    // A program that stops reading what we hand it must not end Tovalin.
    std::signal(SIGPIPE, SIG_IGN);
    // QtDBus (6.4) matches a slot's parameters by type name: a type not registered yet
    // makes the connection fail, silently.
    qRegisterMetaType<QDBusObjectPath>();
    const QString service = QString::fromLatin1(PortalRequest::service);
    const QString path = QString::fromLatin1(PortalRequest::objectPath);
    const QString interface = QString::fromLatin1(clipboardInterface);
    m_bus.connect(service, path, interface, QStringLiteral("SelectionOwnerChanged"), this,
                  SLOT(onOwnerChanged(QDBusObjectPath, QVariantMap)));
    m_bus.connect(service, path, interface, QStringLiteral("SelectionTransfer"), this,
                  SLOT(onTransfer(QDBusObjectPath, QString, uint)));
}

void PortalClipboard::bind(const QString& session)
{
    if (session == m_session)
        return;
    ++m_generation;
    m_session = session;
    m_text.reset();
    m_served.reset();
    m_ownsText = false;
}

void PortalClipboard::setText(const QString& text)
{
    ++m_generation;
    m_text = text;
    m_served = text.toUtf8();
    m_ownsText = true;
    if (isBound())
        offer(textTypes());
}

void PortalClipboard::clear()
{
    ++m_generation;
    m_text.reset();
    m_ownsText = false;
}

QCoro::Task<> PortalClipboard::offered()
{
    QPointer<PortalClipboard> self(this);
    const QDeadlineTimer deadline(m_transferWait);
    while (self && m_offering > 0 && !deadline.hasExpired())
        co_await SignalOrTimeout(this, &PortalClipboard::offerSettled, std::chrono::milliseconds(deadline.remainingTime()));
}

QCoro::Task<> PortalClipboard::offer(QStringList mimeTypes)
{
    QPointer<PortalClipboard> self(this);
    ++m_offering;
    const QVariantMap options{{QStringLiteral("mime_types"), mimeTypes}};
    const QVariantList arguments{QVariant::fromValue(QDBusObjectPath(m_session)), options};
    const QString method = QStringLiteral("SetSelection");
    const bool taken = co_await call(method, arguments);
    if (!self)
        co_return;
    --m_offering;
    if (!taken)
        Console::line(QStringLiteral("The desktop did not take Tovalin's text for its clipboard"));
    emit offerSettled();
}

void PortalClipboard::onOwnerChanged(const QDBusObjectPath& session, const QVariantMap& options)
{
    if (!isBound() || session.path() != m_session)
        return;
    // Whatever was being read belongs to an owner that is gone.
    ++m_generation;
    if (option(options, QStringLiteral("session_is_owner")).toBool()) {
        // Ours since setText(); a read of an owner that came just before is dropped.
        if (m_ownsText && m_served)
            m_text = QString::fromUtf8(*m_served);
        return;
    }
    m_text.reset();
    m_served.reset();
    m_ownsText = false;
    const QStringList offered = offeredTypes(options);
    for (const QString& type : textTypes()) {
        if (offered.contains(type)) {
            read(type, m_generation);
            return;
        }
    }
    emit changed();
}

QCoro::Task<> PortalClipboard::read(QString mimeType, quint64 generation)
{
    QPointer<PortalClipboard> self(this);
    const std::chrono::milliseconds wait = m_transferWait;
    const QString method = QStringLiteral("SelectionRead");
    const int fd = co_await descriptorFrom(method, mimeType);
    if (!self || generation != m_generation) {
        if (fd >= 0)
            ::close(fd);
        co_return;
    }
    const std::optional<QByteArray> bytes = co_await DescriptorTransfer::readAll(fd, readLimit, wait);
    if (!self || generation != m_generation)
        co_return;
    if (bytes)
        m_text = QString::fromUtf8(*bytes);
    emit changed();
}

void PortalClipboard::onTransfer(const QDBusObjectPath& session, const QString&, uint serial)
{
    if (!isBound() || session.path() != m_session)
        return;
    if (m_served) {
        serve(serial, *m_served);
        return;
    }
    // Nothing of ours to hand over: the desktop must still hear that.
    const QString method = QStringLiteral("SelectionWriteDone");
    call(method, {QVariant::fromValue(session), serial, false});
}

QCoro::Task<> PortalClipboard::serve(uint serial, QByteArray bytes)
{
    QPointer<PortalClipboard> self(this);
    const std::chrono::milliseconds wait = m_transferWait;
    const QVariant session = QVariant::fromValue(QDBusObjectPath(m_session));
    const QString write = QStringLiteral("SelectionWrite");
    const int fd = co_await descriptorFrom(write, serial);
    // writeAll() closes the descriptor before the desktop hears we are done: its reader
    // waits for the end of the pipe.
    bool written = false;
    if (fd >= 0)
        written = co_await DescriptorTransfer::writeAll(fd, bytes, wait);
    if (!self)
        co_return;
    const QString done = QStringLiteral("SelectionWriteDone");
    const QVariantList arguments{session, serial, written};
    co_await call(done, arguments);
    if (self && written)
        emit fetched();
}

QCoro::Task<int> PortalClipboard::descriptorFrom(QString method, QVariant argument)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service),
                                                          QString::fromLatin1(PortalRequest::objectPath),
                                                          QString::fromLatin1(clipboardInterface), method);
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << argument;
    const std::chrono::milliseconds wait = m_transferWait;
    QDBusPendingCallWatcher watcher(m_bus.asyncCall(message, int(wait.count())));
    if (!watcher.isFinished())
        co_await SignalOrTimeout(&watcher, &QDBusPendingCallWatcher::finished, wait);
    if (!watcher.isFinished() || watcher.isError())
        co_return -1;
    // A copy of our own: the message's copy closes with it, as the reader of a pipe we
    // write needs.
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = watcher;
    const QDBusUnixFileDescriptor descriptor = reply.value();
    co_return descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
}

QCoro::Task<bool> PortalClipboard::call(QString method, QVariantList arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service),
                                                          QString::fromLatin1(PortalRequest::objectPath),
                                                          QString::fromLatin1(clipboardInterface), method);
    message.setArguments(arguments);
    const std::chrono::milliseconds wait = m_transferWait;
    QDBusPendingCallWatcher watcher(m_bus.asyncCall(message, int(wait.count())));
    if (!watcher.isFinished())
        co_await SignalOrTimeout(&watcher, &QDBusPendingCallWatcher::finished, wait);
    co_return watcher.isFinished() && !watcher.isError();
}
