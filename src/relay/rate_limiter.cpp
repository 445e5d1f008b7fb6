#include "rate_limiter.h"

#include <algorithm>

namespace {
// Clients are forgotten once their bucket is full again; past this many the table is swept.
constexpr qsizetype kSweepAbove = 4096;
} // namespace

double RateLimiter::refilled(const Bucket& bucket, qint64 nowMs) const
{
    const double gained = double(nowMs - bucket.updatedMs) * m_perMinute / 60000.0;
    return std::min(double(m_perMinute), bucket.tokens + gained);
}

bool RateLimiter::allow(const QString& client, qint64 nowMs)
{
    if (m_perMinute <= 0)
        return true;
    if (m_buckets.size() > kSweepAbove) {
        for (auto it = m_buckets.begin(); it != m_buckets.end();)
            it = refilled(*it, nowMs) >= m_perMinute ? m_buckets.erase(it) : std::next(it);
    }
    auto it = m_buckets.find(client);
    if (it == m_buckets.end())
        it = m_buckets.insert(client, Bucket{double(m_perMinute), nowMs});
    it->tokens = refilled(*it, nowMs);
    it->updatedMs = nowMs;
    if (it->tokens < 1.0)
        return false;
    it->tokens -= 1.0;
    return true;
}
