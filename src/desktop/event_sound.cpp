#include "event_sound.h"

#include <canberra.h>

EventSound::EventSound()
{
    m_release.setSingleShot(true);
    m_release.setInterval(releaseAfterMs);
    m_release.callOnTimeout([this] { release(); });
}

EventSound::~EventSound() { release(); }

void EventSound::release()
{
    if (m_context)
        ca_context_destroy(m_context);
    m_context = nullptr;
}

void EventSound::play(Event event)
{
    if (m_unavailable)
        return;
    if (!m_context) {
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            m_unavailable = true;
            return;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Tovalin",
                                CA_PROP_APPLICATION_ID, "tovalin", nullptr);
    }
    ca_context_play(m_context, 0, CA_PROP_EVENT_ID, event == Event::complete ? "complete" : "dialog-error",
                    CA_PROP_EVENT_DESCRIPTION, event == Event::complete ? "Text replaced" : "Command failed",
                    nullptr);
    m_release.start();
}
