#pragma once

#include <QDBusConnection>
#include <QString>
#include <chrono>

// Which desktop portals the session bus offers, by the version each interface reports
// (0: not offered).
struct PortalOffer {
    uint globalShortcuts = 0;
    uint remoteDesktop = 0;
    // Tied to a RemoteDesktop session: the clipboard without a window (frontend 1.18+).
    uint clipboard = 0;

    // Asks org.freedesktop.portal.Desktop once per interface. It waits for the answers:
    // meant for the start, before any window is up, with a short time-out.
    static PortalOffer probe(const QDBusConnection& bus, std::chrono::milliseconds timeout = std::chrono::milliseconds(1500));
    // The session bus's offer, asked once per process (also before the application object
    // exists, to choose the Qt platform).
    static const PortalOffer& session();
};
