#pragma once

#include "wayland_parts.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QSocketNotifier;
struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_registry_listener;
struct wl_seat;

// Tovalin's own connection to the compositor, beside Qt's: the protocols Qt does not
// speak are spoken here. Its events are read on the GUI thread whenever the socket has
// some, through a socket notifier; nothing polls.
class WaylandConnection : public QObject {
    Q_OBJECT
public:
    // socket: WAYLAND_DISPLAY's value (a name in XDG_RUNTIME_DIR or an absolute path);
    // empty for the environment's. Null when no compositor answers.
    static std::unique_ptr<WaylandConnection> open(const QString& socket = {});
    // The globals offered, for choosing the parts before the application object exists.
    static std::optional<QList<WaylandGlobal>> probe(const QString& socket = {});
    ~WaylandConnection() override;

    wl_display* display() const { return m_display; }
    const QList<WaylandGlobal>& globals() const { return m_globals; }
    // The first seat, bound at open; null when the compositor has none.
    wl_seat* seat() const { return m_seat; }
    // Binds the global of that interface at the version given (at most what is offered);
    // null when it is not offered.
    void* bind(const wl_interface* interface, uint32_t version);

    // Sends what was asked, waits for the compositor to have handled it and dispatches
    // its answers. False when the connection broke.
    bool roundtrip();
    void flush();

private:
    explicit WaylandConnection(wl_display* display);
    void readEvents();

    struct Global {
        uint32_t name;
        WaylandGlobal global;
    };
    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, uint32_t name);
    static const wl_registry_listener registryListener;

    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    QList<Global> m_offered;
    QList<WaylandGlobal> m_globals;
    QSocketNotifier* m_notifier = nullptr;
};
