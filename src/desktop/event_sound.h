#pragma once

#include <QTimer>

// Short event sounds from the desktop's sound theme (libcanberra). The sound server is
// reached on the first sound, not at start, and let go again after a quiet spell: its
// driver stays loaded while connected and costs memory the idle tray should not hold.
// Without a sound server nothing is heard and nothing fails.
class EventSound {
public:
    enum class Event { complete, error };

    EventSound();
    ~EventSound();
    EventSound(const EventSound&) = delete;
    EventSound& operator=(const EventSound&) = delete;

    void play(Event event);

    // Longer than any event sound of a theme, so none is cut short.
    static constexpr int releaseAfterMs = 10000;

private:
    void release();

    struct ca_context* m_context = nullptr;
    bool m_unavailable = false;
    QTimer m_release;
};
