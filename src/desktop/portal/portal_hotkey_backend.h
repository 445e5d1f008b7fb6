#pragma once

#include "hotkey_backend.h"
#include "portal_request.h"
#include "portal_shortcut.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QCoro/QCoroTask>
#include <chrono>
#include <map>

// Global hotkeys through the GlobalShortcuts portal (KDE 5.27+, GNOME 48+): every
// registration is one shortcut of a single session with a fixed token, bound again as a
// whole whenever the set changes. The desktop decides the final trigger (it may refuse one
// or let the user pick another in its settings); bound() says what it chose.
class PortalHotkeyBackend : public QObject, public HotkeyBackend {
    Q_OBJECT
public:
    static constexpr const char* sessionToken = "tovalin";
    // The desktop may show a dialog to confirm the shortcuts.
    static constexpr std::chrono::milliseconds defaultTimeout{60000};

    struct Bound {
        uint32_t id = 0;
        QString requested; // "SHIFT+LOGO+space"
        QString trigger;   // the desktop's own words for what it bound; empty when none
        QString label;     // what Tovalin asked for, as the user reads it: "Super+Shift+G"
    };

    explicit PortalHotkeyBackend(QDBusConnection bus, std::chrono::milliseconds timeout = defaultTimeout,
                                 QObject* parent = nullptr);
    ~PortalHotkeyBackend() override;

    Status installHandler(PressHandler onPressed) override;
    Registration registerHotkey(uint32_t keyCode, uint32_t carbonMask, uint32_t id) override;
    void unregisterHotkey(HotkeyRef ref) override;
    void removeHandler() override;

    // The backend the running hotkey service speaks through, for the pages that show what
    // the desktop bound; null when hotkeys do not go through the portal.
    static PortalHotkeyBackend* inUse();

    const QList<Bound>& bound() const { return m_bound; }
    // Why nothing is bound (no portal, refused, ...); empty while all is well.
    const QString& problem() const { return m_problem; }

signals:
    // bound() or problem() changed.
    void bindingChanged();

private slots:
    void onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                     const QVariantMap& options);
    void onDeactivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                       const QVariantMap& options);
    void onShortcutsChanged(const QDBusObjectPath& session, const PortalShortcutList& shortcuts);

private:
    struct Wanted {
        uint32_t id;
        QString trigger;
        QString label; // "Super+Shift+G"
    };

    void scheduleBind();
    QCoro::Task<> bind();
    PortalShortcutList wantedShortcuts() const;
    void takeBound(const QVariant& shortcuts);
    void closeSession();
    std::optional<uint32_t> idOf(const QString& shortcutId) const;

    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
    PressHandler m_onPressed;
    std::map<HotkeyRef, Wanted> m_wanted;
    QString m_session;
    bool m_bindScheduled = false;
    bool m_binding = false;
    bool m_bindAgain = false;
    QList<Bound> m_bound;
    QString m_problem;
    // Presses still held: a key the desktop repeats runs once.
    std::map<QString, QElapsedTimer> m_held;
};
