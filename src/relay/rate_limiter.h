#pragma once

#include <QHash>
#include <QString>

// Requests per minute per client, as a token bucket: a client may use its whole minute at
// once, then gets one request back every 60/n seconds.
class RateLimiter {
public:
    // 0 lets everything through.
    explicit RateLimiter(int perMinute) : m_perMinute(perMinute) {}

    // Takes one request from `client`'s allowance at `nowMs` (a monotonic clock); false when
    // there is none left.
    bool allow(const QString& client, qint64 nowMs);

private:
    struct Bucket {
        double tokens = 0;
        qint64 updatedMs = 0;
    };
    double refilled(const Bucket& bucket, qint64 nowMs) const;

    int m_perMinute;
    QHash<QString, Bucket> m_buckets;
};
