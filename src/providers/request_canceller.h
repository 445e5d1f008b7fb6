#pragma once

#include <QObject>
#include <utility>

// Lets the owner of a provider call end it from outside: the exchange in flight is aborted
// and the call throws RunCancelled. Once cancelled, it stays cancelled.
class RequestCanceller : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool isCancelled() const { return m_cancelled; }
    void cancel()
    {
        if (std::exchange(m_cancelled, true))
            return;
        emit cancelled();
    }

signals:
    void cancelled();

private:
    bool m_cancelled = false;
};
