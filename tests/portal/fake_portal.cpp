#include "fake_portal.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

QString senderPart(const QString& uniqueName)
{
    QString part = uniqueName.mid(1);
    return part.replace(QLatin1Char('.'), QLatin1Char('_'));
}

// Writes into a pipe as fast as its reader takes the bytes, then closes it; stops when the
// reader closes its end.
class PipeFeeder : public QObject {
public:
    PipeFeeder(int fd, QByteArray bytes, QObject* parent)
        : QObject(parent), m_fd(fd), m_bytes(std::move(bytes)), m_notifier(fd, QSocketNotifier::Write)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        connect(&m_notifier, &QSocketNotifier::activated, this, &PipeFeeder::feed);
    }
    ~PipeFeeder() override { ::close(m_fd); }

private:
    void feed()
    {
        while (m_done < m_bytes.size()) {
            const ssize_t written = ::write(m_fd, m_bytes.constData() + m_done, size_t(m_bytes.size() - m_done));
            if (written > 0)
                m_done += written;
            else if (written < 0 && errno == EAGAIN)
                return;
            else
                break;
        }
        m_notifier.setEnabled(false);
        deleteLater();
    }

    int m_fd;
    QByteArray m_bytes;
    qsizetype m_done = 0;
    QSocketNotifier m_notifier;
};
} // namespace

FakePortal::FakePortal(const QString& busAddress, uint shortcutsVersion, uint remoteDesktopVersion,
                       uint clipboardVersion)
    : m_connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-portal"))),
      m_shortcutsVersion(shortcutsVersion), m_remoteDesktopVersion(remoteDesktopVersion),
      m_clipboardVersion(clipboardVersion)
{
    // A reader that stops early closes the pipe under the feeder.
    std::signal(SIGPIPE, SIG_IGN);
    m_registered = m_connection.isConnected()
        && m_connection.registerVirtualObject(portalPath, this, QDBusConnection::SubPath)
        && m_connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

FakePortal::~FakePortal()
{
    m_connection.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    m_connection.unregisterObject(portalPath, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    for (int fd : std::as_const(m_silentPipes))
        ::close(fd);
    for (int fd : std::as_const(m_writePipes))
        ::close(fd);
}

void FakePortal::answer(const QString& member, uint response, const QVariantMap& results)
{
    m_silent.remove(member);
    m_answers[member] = {response, results};
}

void FakePortal::emitSignal(const QString& interface, const QString& name, const QVariantList& arguments)
{
    QDBusMessage signal = QDBusMessage::createSignal(portalPath, interface, name);
    signal.setArguments(arguments);
    m_connection.send(signal);
}

QStringList FakePortal::members() const
{
    QStringList names;
    for (const Call& call : m_calls)
        names << call.member;
    return names;
}

QVariantMap FakePortal::lastOptions(const QString& member) const
{
    for (auto it = m_calls.crbegin(); it != m_calls.crend(); ++it)
        if (it->member == member && !it->arguments.isEmpty())
            return qdbus_cast<QVariantMap>(it->arguments.constLast());
    return {};
}

bool FakePortal::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    QDBusConnection bus = connection;
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
        const QString interface = message.arguments().value(0).toString();
        const uint version = interface.endsWith(QLatin1String("GlobalShortcuts")) ? m_shortcutsVersion
            : interface.endsWith(QLatin1String("RemoteDesktop"))                 ? m_remoteDesktopVersion
            : interface.endsWith(QLatin1String("Clipboard"))                     ? m_clipboardVersion
                                                                                  : 0;
        bus.send(version ? message.createReply(QVariant::fromValue(QDBusVariant(version)))
                         : message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such interface")));
        return true;
    }
    m_calls.append({message.member(), message.arguments(), message.path()});
    if (message.member().startsWith(QLatin1String("Selection"))) {
        answerTransfer(message, bus);
        return true;
    }
    const QVariantMap options = message.arguments().isEmpty() ? QVariantMap()
                                                               : qdbus_cast<QVariantMap>(message.arguments().constLast());
    const QString token = options.value(QStringLiteral("handle_token")).toString();
    if (token.isEmpty()) { // Close, NotifyKeyboardKeysym: plain methods
        bus.send(message.createReply());
        return true;
    }
    const QString sender = senderPart(message.service());
    const QString request = QStringLiteral("%1/request/%2/%3").arg(portalPath, sender, token);
    bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    if (m_silent.contains(message.member()))
        return true;
    auto [response, results] = m_answers.value(message.member(), {0u, QVariantMap()});
    if (message.member() == QLatin1String("CreateSession"))
        results.insert(QStringLiteral("session_handle"),
                       QStringLiteral("%1/session/%2/%3")
                           .arg(portalPath, sender, options.value(QStringLiteral("session_handle_token")).toString()));
    QDBusMessage signal = QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"),
                                                     QStringLiteral("Response"));
    signal << response << results;
    bus.send(signal);
    return true;
}

void FakePortal::answerTransfer(const QDBusMessage& message, QDBusConnection& bus)
{
    if (message.member() == QLatin1String("SelectionWriteDone")) {
        const uint serial = message.arguments().value(1).toUInt();
        Written& written = m_written[serial];
        if (m_writePipes.contains(serial)) {
            const int fd = m_writePipes.take(serial);
            char buffer[4096];
            ssize_t got = 0;
            while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
                written.bytes.append(buffer, got);
            written.closed = got == 0;
            ::close(fd);
        }
        bus.send(message.createReply());
        return;
    }
    int fds[2];
    // Blocking, as a desktop's pipes may be: the caller must not rely on anything else.
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        bus.send(message.createErrorReply(QDBusError::Failed, QStringLiteral("no pipe")));
        return;
    }
    const bool reading = message.member() == QLatin1String("SelectionRead");
    // The caller gets the reading end of SelectionRead's pipe and the writing end of
    // SelectionWrite's; the reply carries a copy.
    bus.send(message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(fds[reading ? 0 : 1]))));
    ::close(fds[reading ? 0 : 1]);
    if (!reading) {
        ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
        m_writePipes.insert(message.arguments().value(1).toUInt(), fds[0]);
    } else if (m_selection) {
        new PipeFeeder(fds[1], *m_selection, this);
    } else {
        m_silentPipes.append(fds[1]);
    }
}
