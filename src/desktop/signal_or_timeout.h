#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <coroutine>
#include <memory>

// co_await SignalOrTimeout(sender, &Sender::signal, timeout): resumes at the first emission
// of the signal or when the time-out ends, whichever comes first, and exactly once; gives
// true when the signal came. QCoro's signal wait with a time-out can resume a coroutine a
// second time when both arrive close together, which crashes.
template<typename Sender, typename Signal>
class SignalOrTimeout {
public:
    SignalOrTimeout(Sender* sender, Signal signal, std::chrono::milliseconds timeout)
        : m_sender(sender), m_signal(signal), m_timeout(timeout)
    {
    }

    bool await_ready() const noexcept { return m_sender.isNull(); }

    void await_suspend(std::coroutine_handle<> awaiting)
    {
        m_state = std::make_shared<State>();
        m_state->awaiting = awaiting;
        // Both wake-ups hang on one context object: deleting it drops the one that lost,
        // including a queued emission that is already posted.
        auto* context = new QObject;
        auto fire = [state = m_state, context](bool signalled) {
            if (state->fired)
                return;
            state->fired = true;
            state->signalled = signalled;
            context->deleteLater();
            state->awaiting.resume();
        };
        QObject::connect(m_sender.data(), m_signal, context, [fire](auto&&...) { fire(true); },
                         Qt::QueuedConnection);
        QTimer::singleShot(m_timeout, context, [fire]() { fire(false); });
    }

    bool await_resume() const noexcept { return m_state && m_state->signalled; }

private:
    struct State {
        std::coroutine_handle<> awaiting;
        bool fired = false;
        bool signalled = false;
    };

    QPointer<Sender> m_sender;
    Signal m_signal;
    std::chrono::milliseconds m_timeout;
    std::shared_ptr<State> m_state;
};
