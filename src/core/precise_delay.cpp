#include "precise_delay.h"

#include <QCoro/QCoroSignal>
#include <QTimer>

QCoro::Task<> preciseDelay(std::chrono::milliseconds duration)
{
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(duration);
    co_await qCoro(&timer, &QTimer::timeout);
}
