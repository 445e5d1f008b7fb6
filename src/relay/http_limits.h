#pragma once

#include <QtGlobal>
#include <chrono>

// What one client connection may cost the relay: how long it may take over each part of a
// request, how many may be open, and how many request-body bytes all of them may hold at once.
struct HttpLimits {
    // From the first byte of a request to the end of its headers.
    std::chrono::milliseconds headerTimeout{10'000};
    // From the end of the headers to the last byte of the body.
    std::chrono::milliseconds bodyTimeout{30'000};
    // How long a kept-alive connection may wait for its next request.
    std::chrono::milliseconds idleTimeout{5'000};
    // Open client connections; one more is answered 503 and closed. Each costs a descriptor.
    int maxConnections = 1024;
    qint64 maxBodyBytes = 2 * 1024 * 1024; // the app sends at most 1 MiB of text
    // Request bodies held at once across all connections, counted by their announced length.
    qint64 bodyBudgetBytes = 64 * 1024 * 1024;
};
