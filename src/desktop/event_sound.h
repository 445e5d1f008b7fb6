#pragma once

// Short event sounds from the desktop's sound theme (libcanberra). The sound server is
// reached on the first sound, not at start; without one, nothing is heard and nothing fails.
class EventSound {
public:
    enum class Event { complete, error };

    EventSound() = default;
    ~EventSound();
    EventSound(const EventSound&) = delete;
    EventSound& operator=(const EventSound&) = delete;

    void play(Event event);

private:
    struct ca_context* m_context = nullptr;
    bool m_unavailable = false;
};
