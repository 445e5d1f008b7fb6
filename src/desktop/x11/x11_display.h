#pragma once

#include <QByteArray>
#include <QHash>
#include <cstdint>
#include <memory>
#include <optional>

struct xcb_connection_t;
struct xcb_key_press_event_t;

// Qt's own X connection and the root window. Grabs and synthetic keys go through
// Qt's connection so that the key presses and their timestamps reach Qt as well.
class X11Display {
public:
    // Nothing unless the application runs on the xcb platform.
    static std::shared_ptr<X11Display> fromQt();

    X11Display(xcb_connection_t* connection, uint32_t root);

    xcb_connection_t* connection() const { return m_connection; }
    uint32_t root() const { return m_root; }
    bool hasXTest() const;
    // A compositing manager owns the _NET_WM_CM_S0 selection while it runs.
    bool hasCompositor() const;
    uint32_t atom(const QByteArray& name) const;
    // A single 32-bit value (WINDOW, CARDINAL, ...) of a window property.
    std::optional<uint32_t> property32(uint32_t window, uint32_t property, uint32_t type) const;
    // The XID bits that name the client; equal client bits mean the same connection.
    uint32_t clientBits(uint32_t xid) const;
    void flush() const;
    // The event as a key press on the root window (where grabbed keys arrive), or null.
    const xcb_key_press_event_t* rootKeyPress(const QByteArray& eventType, const void* message) const;

private:
    xcb_connection_t* m_connection;
    uint32_t m_root;
    mutable QHash<QByteArray, uint32_t> m_atoms;
};
