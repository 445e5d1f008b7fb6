#include "wayland_accessibility_backend.h"

#include "wayland_connection.h"
#include "wayland_data_control.h"
#include "wayland_input_serial.h"
#include "wayland_toplevels.h"
#include "wayland_virtual_keyboard.h"
#include "console.h"
#include "file_defaults_store.h"
#include "portal/portal_clipboard.h"
#include "portal/portal_keyboard.h"

#include <QDBusConnection>
#include <QPointer>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
// Without foreign-toplevel there is no telling windows apart: one stands for them all.
constexpr quint64 someWindow = 1;

// X keysyms for the portal, which types by symbol rather than by key position.
constexpr int shiftKeysym = 0xffe1;
constexpr int controlKeysym = 0xffe3;
constexpr int insertKeysym = 0xff63;
constexpr int cKeysym = 0x63;
constexpr int vKeysym = 0x76;

// From the copy chord through the portal to the copied text read: on a headless GNOME 43
// (mutter's own clipboard calls, which the portal forwards, with a Qt text field copying)
// 10-16 ms as a rule, 145 ms at worst under load. Only a copy that brings nothing waits it out.
constexpr std::chrono::milliseconds portalCopyWait{400};

// Qt serves the clipboard it owns from the object at each paste: new text there needs no
// new offer. Qt added a UTF-8 copy of the text when it took the clipboard, which most
// programs ask for: that is replaced too.
void refill(QMimeData& held, const QString& text)
{
    held.setText(text);
    held.setData(QStringLiteral("text/plain;charset=utf-8"), text.toUtf8());
}
} // namespace

std::unique_ptr<WaylandAccessibilityBackend> WaylandAccessibilityBackend::create()
{
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::open();
    if (!connection)
        return nullptr;
    return std::unique_ptr<WaylandAccessibilityBackend>(new WaylandAccessibilityBackend(std::move(connection)));
}

WaylandAccessibilityBackend::WaylandAccessibilityBackend(std::unique_ptr<WaylandConnection> connection)
    : m_connection(std::move(connection)), m_parts(WaylandParts::choose(m_connection->globals(), PortalOffer::session(),
                                                    QProcessEnvironment::systemEnvironment()))
{
    if (m_parts.toplevels)
        m_toplevels = WaylandToplevels::create(*m_connection, QString::fromLatin1(paletteAppId));
    if (m_parts.virtualKeyboard)
        m_keyboard = WaylandVirtualKeyboard::create(*m_connection);
    else if (m_parts.portalKeyboard)
        m_portalKeyboard = std::make_unique<PortalKeyboard>(
            QDBusConnection::sessionBus(),
            FileDefaultsStore::forCurrentUser().stateDir() + QStringLiteral("/remote-desktop-token"));
    if (m_portalKeyboard && m_parts.portalClipboard) {
        m_portalClipboard = std::make_unique<PortalClipboard>(QDBusConnection::sessionBus());
        m_portalKeyboard->shareClipboard(m_portalClipboard.get());
        connect(m_portalClipboard.get(), &PortalClipboard::changed, this, &AccessibilityBackend::clipboardChanged);
        connect(m_portalClipboard.get(), &PortalClipboard::fetched, this, &AccessibilityBackend::clipboardFetched);
    }
    if (m_parts.readsWithoutFocus())
        m_dataControl = WaylandDataControl::create(*m_connection, m_parts.selection);
    if (m_dataControl) {
        connect(m_dataControl.get(), &WaylandDataControl::clipboardChanged, this, &AccessibilityBackend::clipboardChanged);
        connect(m_dataControl.get(), &WaylandDataControl::clipboardFetched, this, &AccessibilityBackend::clipboardFetched);
        connect(m_dataControl.get(), &WaylandDataControl::primaryChanged, this, [this] {
            m_primaryWindow = activeWindow();
        });
        // The PRIMARY there was at start was reported during create(), before this connection.
        m_primaryWindow = activeWindow();
    } else {
        connect(&m_qtClipboard, &SystemClipboard::changed, this, [this] {
            if (!clipboardThroughPortal())
                emit clipboardChanged();
        });
    }
}

WaylandAccessibilityBackend::~WaylandAccessibilityBackend() = default;

bool WaylandAccessibilityBackend::isTrusted()
{
    if (m_portalKeyboard)
        return m_portalKeyboard->state() != PortalKeyboard::State::refused;
    return m_keyboard != nullptr;
}

std::optional<quint64> WaylandAccessibilityBackend::activeWindow()
{
    if (!m_toplevels)
        return someWindow;
    return m_toplevels->activeWindow();
}

bool WaylandAccessibilityBackend::selectionOwnedBy(quint64 window)
{
    // Wayland does not say which program holds PRIMARY; where it was selected stands in.
    if (!m_toplevels || !m_dataControl)
        return true;
    return m_primaryWindow == window;
}

QStringList WaylandAccessibilityBackend::windowClass(quint64 window)
{
    if (!m_toplevels)
        return {};
    const QString appId = m_toplevels->appId(window);
    return appId.isEmpty() ? QStringList() : QStringList{appId};
}

std::optional<QString> WaylandAccessibilityBackend::selectionText()
{
    if (m_dataControl)
        return m_dataControl->primaryText();
    // The palette has the focus: Qt's own primary-selection offer is the user's selection.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Selection);
    if (!data || !data->hasText())
        return std::nullopt;
    return data->text();
}

bool WaylandAccessibilityBackend::clipboardThroughPortal() const
{
    return m_portalKeyboard && m_portalKeyboard->clipboardEnabled();
}

QCoro::Task<bool> WaylandAccessibilityBackend::prepareCopy()
{
    if (!m_portalClipboard)
        co_return false;
    QPointer<PortalKeyboard> keyboard(m_portalKeyboard.get());
    if (keyboard->state() == PortalKeyboard::State::notAsked)
        explainPortalConsent();
    const bool started = co_await keyboard->start();
    co_return started && keyboard && keyboard->clipboardEnabled();
}

std::chrono::milliseconds WaylandAccessibilityBackend::copyWait() const
{
    return m_portalClipboard ? portalCopyWait : AccessibilityBackend::copyWait();
}

std::optional<QString> WaylandAccessibilityBackend::clipboardText()
{
    if (clipboardThroughPortal())
        return m_portalClipboard->text();
    return m_dataControl ? m_dataControl->clipboardText() : m_qtClipboard.text();
}

void WaylandAccessibilityBackend::clearClipboard()
{
    if (clipboardThroughPortal())
        m_portalClipboard->clear();
    else if (m_dataControl)
        m_dataControl->clearClipboard();
    else
        m_qtClipboard.clear();
}

void WaylandAccessibilityBackend::setClipboardText(const QString& text)
{
    // CLIPBOARD only: a text field that loses PRIMARY drops its selection, and the paste
    // would then land beside the text instead of over it.
    if (clipboardThroughPortal())
        m_portalClipboard->setText(text);
    else if (m_dataControl)
        m_dataControl->setClipboardText(text);
    else if (QMimeData* held = heldClipboard())
        refill(*held, text);
    else
        m_qtClipboard.setText(text);
}

void WaylandAccessibilityBackend::holdClipboard()
{
    // The portal sets the clipboard without the focus.
    if (m_dataControl || clipboardThroughPortal())
        return;
    auto* held = new QMimeData;
    held->setText(m_qtClipboard.text().value_or(QString()));
    QGuiApplication::clipboard()->setMimeData(held, QClipboard::Clipboard);
    m_held = held;
}

QCoro::Task<> WaylandAccessibilityBackend::holdClipboardFromNewWindow()
{
    QPointer<WaylandAccessibilityBackend> self(this);
    if (!m_dataControl && m_keyboard)
        co_await WaylandInputSerial::obtain(*m_keyboard);
    if (self)
        holdClipboard();
}

QMimeData* WaylandAccessibilityBackend::heldClipboard() const
{
    // Another program may have taken the clipboard since.
    const QMimeData* current = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    return m_held && current == m_held ? m_held.data() : nullptr;
}

std::shared_ptr<QMimeData> WaylandAccessibilityBackend::clipboardSnapshot()
{
    if (!m_dataControl && !clipboardThroughPortal())
        return m_qtClipboard.snapshot();
    auto saved = std::make_shared<QMimeData>();
    if (const std::optional<QString> text = clipboardText())
        saved->setText(*text);
    return saved;
}

void WaylandAccessibilityBackend::restoreClipboard(const QMimeData& saved)
{
    if (clipboardThroughPortal()) {
        // Text only: the portal cannot empty the desktop's clipboard.
        if (saved.hasText())
            m_portalClipboard->setText(saved.text());
        return;
    }
    if (QMimeData* held = heldClipboard()) {
        refill(*held, saved.text());
        return;
    }
    if (!m_dataControl) {
        m_qtClipboard.restore(saved);
        return;
    }
    if (saved.hasText())
        m_dataControl->setClipboardText(saved.text());
    else
        m_dataControl->clearClipboard();
}

bool WaylandAccessibilityBackend::modifiersHeld()
{
    // The real keyboard's modifiers do not reach a virtual keyboard's chord. What would
    // turn a chord astray is the palette still holding the focus while it closes: the
    // keys would go to it, so the chord waits for the focus to go back.
    return m_toplevels && m_toplevels->paletteActive();
}

void WaylandAccessibilityBackend::openAccessibilitySettings()
{
    // The permission row's button: the desktop asks again, now rather than at the next paste.
    if (m_portalKeyboard) {
        m_portalKeyboard->askAgain();
        m_portalKeyboard->start();
    }
}

void WaylandAccessibilityBackend::sendChord(Chord chord)
{
    if (m_portalKeyboard) {
        sendPortalChord(chord);
        return;
    }
    if (!m_keyboard)
        return;
    using Key = WaylandKeymap::Key;
    switch (chord) {
    case Chord::terminalCopy:
        m_keyboard->chord({Key::control, Key::shift}, Key::c);
        break;
    case Chord::terminalPaste:
        m_keyboard->chord({Key::control, Key::shift}, Key::v);
        break;
    // Where terminals cannot be told from text fields, the Insert chords serve both
    // fields and most terminals.
    case Chord::copy:
        if (m_toplevels)
            m_keyboard->chord({Key::control}, Key::c);
        else
            m_keyboard->chord({Key::control}, Key::insert);
        break;
    case Chord::paste:
        if (m_toplevels)
            m_keyboard->chord({Key::control}, Key::v);
        else
            m_keyboard->chord({Key::shift}, Key::insert);
        break;
    }
}

void WaylandAccessibilityBackend::explainPortalConsent()
{
    const QString why = m_portalClipboard
        ? QStringLiteral("Tovalin needs permission to copy your selection and type the answer into your window")
        : QStringLiteral("Tovalin needs permission to type the answer into your window");
    Console::line(why);
    m_notifier.notify(QStringLiteral("Tovalin"), why);
}

QCoro::Task<> WaylandAccessibilityBackend::sendPortalChord(Chord chord)
{
    QList<int> modifiers;
    int key = insertKeysym;
    // Terminals cannot be told from text fields here: the Insert chords serve both.
    switch (chord) {
    case Chord::terminalCopy:
        modifiers = {controlKeysym, shiftKeysym};
        key = cKeysym;
        break;
    case Chord::terminalPaste:
        modifiers = {controlKeysym, shiftKeysym};
        key = vKeysym;
        break;
    case Chord::copy:
        modifiers = {controlKeysym};
        break;
    case Chord::paste:
        modifiers = {shiftKeysym};
        break;
    }
    QPointer<PortalKeyboard> keyboard(m_portalKeyboard.get());
    if (keyboard->state() == PortalKeyboard::State::notAsked)
        explainPortalConsent();
    // The paste must not reach the window before the desktop has taken the answer.
    if ((chord == Chord::paste || chord == Chord::terminalPaste) && clipboardThroughPortal()) {
        co_await m_portalClipboard->offered();
        if (!keyboard)
            co_return;
    }
    const bool typed = co_await keyboard->chord(modifiers, key);
    if (typed || !keyboard)
        co_return;
    const QString problem = keyboard->problem() + QStringLiteral("; the answer is on the clipboard");
    Console::line(problem);
    m_notifier.notify(QStringLiteral("Tovalin could not paste"), problem);
}
