#include "precise_delay.h"

#include <QCoro/QCoroSignal>
#include <QTimer>

#ifdef __linux__
#include <QSocketNotifier>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

QCoro::Task<> preciseDelay(std::chrono::milliseconds duration)
{
#ifdef __linux__
    // Qt's timers wake the loop on whole milliseconds, up to one late per wait; a timer
    // file descriptor wakes it within microseconds of the time.
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd >= 0) {
        itimerspec when{};
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
        when.it_value.tv_sec = ns / 1000000000;
        when.it_value.tv_nsec = ns % 1000000000;
        if (ns > 0 && timerfd_settime(fd, 0, &when, nullptr) == 0) {
            QSocketNotifier notifier(fd, QSocketNotifier::Read);
            co_await qCoro(&notifier, &QSocketNotifier::activated);
            ::close(fd);
            co_return;
        }
        ::close(fd);
    }
#endif
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(duration);
    co_await qCoro(&timer, &QTimer::timeout);
}
