#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <optional>

class WaylandConnection;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// The compositor's list of windows (wlr foreign-toplevel): which one is active and its
// app_id. Tovalin's own palette never counts as the active window: while it has the
// focus, the window the user came from is still the one the text belongs to.
class WaylandToplevels : public QObject {
    Q_OBJECT
public:
    // Null when the compositor does not offer the protocol.
    static std::unique_ptr<WaylandToplevels> create(WaylandConnection& connection, const QString& paletteAppId);
    ~WaylandToplevels() override;

    // An id of the active window, stable for that window's life; nothing when none is.
    std::optional<quint64> activeWindow() const { return m_active; }
    QString appId(quint64 window) const;
    // Tovalin's palette is the active window now.
    bool paletteActive() const { return m_paletteActive; }

signals:
    void activeWindowChanged();

private:
    struct Toplevel {
        quint64 id = 0;
        QString appId;
        QString pendingAppId;
        bool activated = false;
        bool pendingActivated = false;
    };
    WaylandToplevels(zwlr_foreign_toplevel_manager_v1* manager, QString paletteAppId);
    void settle();

    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle);
    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*);
    static void onAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId);
    static void onState(void* data, zwlr_foreign_toplevel_handle_v1* handle, struct wl_array* state);
    static void onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle);
    static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle);

    zwlr_foreign_toplevel_manager_v1* m_manager;
    QString m_paletteAppId;
    QHash<zwlr_foreign_toplevel_handle_v1*, Toplevel> m_toplevels;
    quint64 m_nextId = 1;
    std::optional<quint64> m_active;
    bool m_paletteActive = false;
};
