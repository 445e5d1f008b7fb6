#include "wayland_toplevels.h"

#include "wayland_connection.h"

#include <algorithm>
#include <wayland-client.h>
#include <wlr-foreign-toplevel-management-unstable-v1-client-protocol.h>

namespace {
void ignoreString(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void ignoreOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void ignoreParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
} // namespace

std::unique_ptr<WaylandToplevels> WaylandToplevels::create(WaylandConnection& connection, const QString& paletteAppId)
{
    auto* manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        connection.bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (!manager)
        return nullptr;
    std::unique_ptr<WaylandToplevels> toplevels(new WaylandToplevels(manager, paletteAppId));
    static const zwlr_foreign_toplevel_manager_v1_listener listener{&onToplevel, &onFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(manager, &listener, toplevels.get());
    // The windows that exist now, and their states, before the first question.
    connection.roundtrip();
    connection.roundtrip();
    return toplevels;
}

WaylandToplevels::WaylandToplevels(zwlr_foreign_toplevel_manager_v1* manager, QString paletteAppId)
    : m_manager(manager), m_paletteAppId(std::move(paletteAppId))
{
}

WaylandToplevels::~WaylandToplevels()
{
    for (auto it = m_toplevels.cbegin(); it != m_toplevels.cend(); ++it)
        zwlr_foreign_toplevel_handle_v1_destroy(it.key());
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
}

QString WaylandToplevels::appId(quint64 window) const
{
    for (const Toplevel& toplevel : m_toplevels)
        if (toplevel.id == window)
            return toplevel.appId;
    return {};
}

void WaylandToplevels::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle)
{
    auto* self = static_cast<WaylandToplevels*>(data);
    static const zwlr_foreign_toplevel_handle_v1_listener listener{
        &ignoreString, &onAppId, &ignoreOutput, &ignoreOutput, &onState, &onDone, &onClosed, &ignoreParent};
    Toplevel toplevel;
    toplevel.id = self->m_nextId++;
    self->m_toplevels.insert(handle, toplevel);
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, self);
}

void WaylandToplevels::onFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager)
{
    auto* self = static_cast<WaylandToplevels*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(manager);
    self->m_manager = nullptr;
}

void WaylandToplevels::onAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId)
{
    static_cast<WaylandToplevels*>(data)->m_toplevels[handle].pendingAppId = QString::fromUtf8(appId);
}

void WaylandToplevels::onState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* state)
{
    bool activated = false;
    const auto* values = static_cast<const uint32_t*>(state->data);
    for (size_t i = 0; i < state->size / sizeof(uint32_t); ++i)
        activated = activated || values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
    static_cast<WaylandToplevels*>(data)->m_toplevels[handle].pendingActivated = activated;
}

void WaylandToplevels::onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle)
{
    auto* self = static_cast<WaylandToplevels*>(data);
    Toplevel& toplevel = self->m_toplevels[handle];
    toplevel.appId = toplevel.pendingAppId;
    toplevel.activated = toplevel.pendingActivated;
    self->settle();
}

void WaylandToplevels::onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle)
{
    auto* self = static_cast<WaylandToplevels*>(data);
    self->m_toplevels.remove(handle);
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
    self->settle();
}

void WaylandToplevels::settle()
{
    bool paletteActive = false;
    std::optional<quint64> active;
    for (const Toplevel& toplevel : std::as_const(m_toplevels)) {
        if (!toplevel.activated)
            continue;
        if (toplevel.appId == m_paletteAppId)
            paletteActive = true;
        else
            active = toplevel.id;
    }
    m_paletteActive = paletteActive;
    // The focus passes through "no window active" on its way from one window to the next
    // (or to the palette): the window before stays the active one until another takes
    // over or it closes.
    if (!active && m_active) {
        const bool stillOpen = std::any_of(m_toplevels.cbegin(), m_toplevels.cend(),
                                           [this](const Toplevel& toplevel) { return toplevel.id == *m_active; });
        if (stillOpen)
            return;
    }
    if (active != m_active) {
        m_active = active;
        emit activeWindowChanged();
    }
}
