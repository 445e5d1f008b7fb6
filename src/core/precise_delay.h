#pragma once

#include <QCoro/QCoroTask>
#include <chrono>

// Suspends for at least the given time without blocking the event loop.
// Coarse Qt timers may fire up to 5 % early, and any Qt timer up to a millisecond late;
// the waits before a paste must be neither.
QCoro::Task<> preciseDelay(std::chrono::milliseconds duration);
