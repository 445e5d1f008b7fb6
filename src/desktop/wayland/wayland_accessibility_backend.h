#pragma once

#include "accessibility_backend.h"
#include "desktop_notifier.h"
#include "system_clipboard.h"
#include "wayland_parts.h"

#include <QCoro/QCoroTask>
#include <QMimeData>
#include <QPointer>
#include <memory>

class PortalClipboard;
class PortalKeyboard;
class WaylandConnection;
class WaylandDataControl;
class WaylandToplevels;
class WaylandVirtualKeyboard;

// Selection access as a native Wayland client, with what the compositor offers: PRIMARY
// and CLIPBOARD through data-control, the active window and its app_id through
// foreign-toplevel, the paste chord through a virtual keyboard, or through the
// RemoteDesktop portal where the compositor offers none (GNOME, KDE).
class WaylandAccessibilityBackend : public AccessibilityBackend {
    Q_OBJECT
public:
    // The app_id the palette is mapped with: float rules name it, and the palette never
    // counts as the window the user works in.
    static constexpr const char* paletteAppId = "tovalin-palette";

    // Null when no compositor answers.
    static std::unique_ptr<WaylandAccessibilityBackend> create();
    ~WaylandAccessibilityBackend() override;

    const WaylandParts& parts() const { return m_parts; }
    // The portal's keyboard; null where the compositor has its own virtual keyboard.
    PortalKeyboard* portalKeyboard() const { return m_portalKeyboard.get(); }

    bool isTrusted() override;
    std::optional<quint64> activeWindow() override;
    bool selectionOwnedBy(quint64 window) override;
    QStringList windowClass(quint64 window) override;
    std::optional<QString> selectionText() override;
    bool readsOnlyWithFocus() override { return !m_dataControl; }
    bool copiesWithoutFocus() override { return m_portalClipboard != nullptr; }
    QCoro::Task<bool> prepareCopy() override;
    std::chrono::milliseconds copyWait() const override;
    std::optional<QString> clipboardText() override;
    void clearClipboard() override;
    void setClipboardText(const QString& text) override;
    std::shared_ptr<QMimeData> clipboardSnapshot() override;
    void restoreClipboard(const QMimeData& saved) override;
    void holdClipboard() override;
    QCoro::Task<> holdClipboardFromNewWindow() override;
    bool modifiersHeld() override;
    void releaseHeldModifiers() override {}
    void sendChord(Chord chord) override;
    void openAccessibilitySettings() override;

private:
    explicit WaylandAccessibilityBackend(std::unique_ptr<WaylandConnection> connection);
    QCoro::Task<> sendPortalChord(Chord chord);
    // Before the desktop's dialog, which names no reason.
    void explainPortalConsent();
    // The portal session is up with the desktop's clipboard: every clipboard call goes there.
    bool clipboardThroughPortal() const;

    std::unique_ptr<WaylandConnection> m_connection;
    WaylandParts m_parts;
    std::unique_ptr<WaylandToplevels> m_toplevels;
    std::unique_ptr<WaylandDataControl> m_dataControl;
    std::unique_ptr<WaylandVirtualKeyboard> m_keyboard;
    std::unique_ptr<PortalKeyboard> m_portalKeyboard;
    std::unique_ptr<PortalClipboard> m_portalClipboard;
    SystemClipboard m_qtClipboard;
    // What the portal's keyboard needs the user to know, after the palette has gone.
    DesktopNotifier m_notifier;
    // Without data-control: the clipboard taken while the palette had the focus, as long as
    // it is still Tovalin's (Mutter lets only a window with the focus take it).
    QMimeData* heldClipboard() const;
    QPointer<QMimeData> m_held;
    // The window that was active when PRIMARY last changed: the one it was selected in.
    std::optional<quint64> m_primaryWindow;
};
