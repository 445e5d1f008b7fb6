#pragma once

#include <QtGlobal>

// A number of bytes shared by many takers: each takes what it needs up front and gives it back.
class ByteBudget {
public:
    explicit ByteBudget(qint64 total) : m_left(total) {}

    // False, taking nothing, when fewer than `bytes` are left.
    bool take(qint64 bytes)
    {
        if (bytes > m_left)
            return false;
        m_left -= bytes;
        return true;
    }
    void giveBack(qint64 bytes) { m_left += bytes; }
    qint64 left() const { return m_left; }

private:
    qint64 m_left;
};
