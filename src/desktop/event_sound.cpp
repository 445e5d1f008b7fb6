#include "event_sound.h"

#include <QLibrary>
#include <canberra.h>

namespace {
// libcanberra and the codecs it pulls in are loaded on the first sound, not at start.
struct Canberra {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_play) play = nullptr;

    static const Canberra* load()
    {
        static const Canberra loaded = [] {
            Canberra c;
            QLibrary library(QStringLiteral("canberra"), 0);
            if (!library.load())
                return c;
            c.create = reinterpret_cast<decltype(create)>(library.resolve("ca_context_create"));
            c.destroy = reinterpret_cast<decltype(destroy)>(library.resolve("ca_context_destroy"));
            c.changeProps = reinterpret_cast<decltype(changeProps)>(library.resolve("ca_context_change_props"));
            c.play = reinterpret_cast<decltype(play)>(library.resolve("ca_context_play"));
            if (!c.create || !c.destroy || !c.changeProps || !c.play)
                c = Canberra();
            return c;
        }();
        return loaded.create ? &loaded : nullptr;
    }
};
} // namespace

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
        Canberra::load()->destroy(m_context);
    m_context = nullptr;
}

void EventSound::play(Event event)
{
    if (m_unavailable)
        return;
    const Canberra* canberra = Canberra::load();
    if (!m_context) {
        if (!canberra || canberra->create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            m_unavailable = true;
            return;
        }
        canberra->changeProps(m_context, CA_PROP_APPLICATION_NAME, "Tovalin", CA_PROP_APPLICATION_ID, "tovalin",
                              nullptr);
    }
    canberra->play(m_context, 0, CA_PROP_EVENT_ID, event == Event::complete ? "complete" : "dialog-error",
                   CA_PROP_EVENT_DESCRIPTION, event == Event::complete ? "Text replaced" : "Command failed", nullptr);
    m_release.start();
}
