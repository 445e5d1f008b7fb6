#include "descriptor_transfer.h"

#include "signal_or_timeout.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
bool makeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// However the transfer ends, the descriptor is closed: a reader waits for that.
struct ClosedAtEnd {
    int fd;
    ~ClosedAtEnd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Waits until the notifier says the descriptor is ready again; false at the deadline.
QCoro::Task<bool> ready(QSocketNotifier& notifier, const QDeadlineTimer& deadline)
{
    const qint64 left = deadline.remainingTime();
    if (left <= 0)
        co_return false;
    // Level-triggered: left on, it would fire again and again until the coroutine resumes.
    notifier.setEnabled(true);
    const bool signalled = co_await SignalOrTimeout(&notifier, &QSocketNotifier::activated, std::chrono::milliseconds(left));
    notifier.setEnabled(false);
    co_return signalled;
}
} // namespace

QCoro::Task<std::optional<QByteArray>> DescriptorTransfer::readAll(int fd, qsizetype limit,
                                                                   std::chrono::milliseconds timeout)
{
    const ClosedAtEnd closer{fd};
    if (fd < 0 || !makeNonBlocking(fd))
        co_return std::nullopt;
    // A larger pipe wakes us less often for a large text (it fails harmlessly on a socket).
    ::fcntl(fd, F_SETPIPE_SZ, 1024 * 1024);
    const QDeadlineTimer deadline(timeout);
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    notifier.setEnabled(false);
    QByteArray bytes;
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    while (true) {
        const ssize_t got = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (got > 0) {
            if (bytes.size() + got > limit)
                co_return std::nullopt;
            bytes.append(buffer.constData(), got);
        } else if (got == 0) {
            co_return bytes;
        } else if (errno != EINTR) {
            if (errno != EAGAIN)
                co_return std::nullopt;
            if (!co_await ready(notifier, deadline))
                co_return std::nullopt;
        }
    }
}

QCoro::Task<bool> DescriptorTransfer::writeAll(int fd, QByteArray bytes, std::chrono::milliseconds timeout)
{
    const ClosedAtEnd closer{fd};
    if (fd < 0 || !makeNonBlocking(fd))
        co_return false;
    const QDeadlineTimer deadline(timeout);
    QSocketNotifier notifier(fd, QSocketNotifier::Write);
    notifier.setEnabled(false);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0) {
            done += written;
        } else if (written == 0 || errno != EINTR) {
            if (written == 0 || errno != EAGAIN)
                co_return false;
            if (!co_await ready(notifier, deadline))
                co_return false;
        }
    }
    co_return true;
}
