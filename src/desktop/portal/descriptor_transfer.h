#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <chrono>
#include <optional>

// Moves bytes through a pipe another program holds the other end of, on the GUI thread
// without blocking it: the descriptor is made non-blocking and watched by a socket
// notifier, and a program that stalls ends the transfer at its time-out.
class DescriptorTransfer {
public:
    // Reads to the end of file and closes fd. Nothing when the time-out ends first, on an
    // error, or when more than `limit` bytes come.
    static QCoro::Task<std::optional<QByteArray>> readAll(int fd, qsizetype limit, std::chrono::milliseconds timeout);
    // Writes all of bytes and closes fd, so the reader sees the end; false when it could not.
    static QCoro::Task<bool> writeAll(int fd, QByteArray bytes, std::chrono::milliseconds timeout);
};
