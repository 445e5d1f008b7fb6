#include "portal_hotkey_backend.h"

#include "hotkey_config.h"
#include "hotkey_display.h"
#include "hotkey_service.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QTimer>

namespace {
constexpr auto globalShortcuts = "org.freedesktop.portal.GlobalShortcuts";
// A press the desktop repeats comes again within the key-repeat interval; a new press
// after a Deactivated, or after a pause where a desktop sends none, is a new run.
constexpr qint64 repeatWindowMs = 600;

PortalHotkeyBackend* latest = nullptr;

uint64_t linuxFlags(uint32_t carbonMask)
{
    uint64_t flags = 0;
    if (carbonMask & HotkeyDisplay::controlKey)
        flags |= ModifierFlag::control;
    if (carbonMask & HotkeyDisplay::optionKey)
        flags |= ModifierFlag::option;
    if (carbonMask & HotkeyDisplay::shiftKey)
        flags |= ModifierFlag::shift;
    if (carbonMask & HotkeyDisplay::cmdKey)
        flags |= ModifierFlag::command;
    return flags;
}
} // namespace

PortalHotkeyBackend::PortalHotkeyBackend(QDBusConnection bus, std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_timeout(timeout)
{
    PortalShortcut::registerTypes();
    const QString service = QString::fromLatin1(PortalRequest::service);
    const QString path = QString::fromLatin1(PortalRequest::objectPath);
    const QString interface = QString::fromLatin1(globalShortcuts);
    m_bus.connect(service, path, interface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    m_bus.connect(service, path, interface, QStringLiteral("Deactivated"), this,
                  SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    m_bus.connect(service, path, interface, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusObjectPath, PortalShortcutList)));
    latest = this;
}

PortalHotkeyBackend::~PortalHotkeyBackend()
{
    if (latest == this)
        latest = nullptr;
    closeSession();
}

PortalHotkeyBackend* PortalHotkeyBackend::inUse()
{
    return latest;
}

HotkeyBackend::Status PortalHotkeyBackend::installHandler(PressHandler onPressed)
{
    m_onPressed = std::move(onPressed);
    return noErr;
}

void PortalHotkeyBackend::removeHandler()
{
    m_onPressed = nullptr;
}

HotkeyBackend::Registration PortalHotkeyBackend::registerHotkey(uint32_t keyCode, uint32_t carbonMask, uint32_t id)
{
    const QString trigger = PortalShortcut::trigger(uint16_t(keyCode), carbonMask);
    if (trigger.isEmpty())
        return {-1, {}};
    // The answer comes later: the desktop's verdict shows in bound().
    m_wanted[id] = {id, trigger, HotkeyDisplay::linuxLabel(uint16_t(keyCode), linuxFlags(carbonMask))};
    scheduleBind();
    return {noErr, HotkeyRef(id)};
}

void PortalHotkeyBackend::unregisterHotkey(HotkeyRef ref)
{
    if (m_wanted.erase(ref) > 0)
        scheduleBind();
}

void PortalHotkeyBackend::scheduleBind()
{
    // HotkeyService registers one hotkey after the other: bind the whole set once.
    if (m_bindScheduled)
        return;
    m_bindScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        if (m_binding) {
            m_bindAgain = true;
            return;
        }
        bind();
    });
}

PortalShortcutList PortalHotkeyBackend::wantedShortcuts() const
{
    PortalShortcutList list;
    for (const auto& [ref, wanted] : m_wanted) {
        const QString description = wanted.id == HotkeyService::overlayHotkeyId
            ? QStringLiteral("Show the Tovalin palette")
            : QStringLiteral("Run the Tovalin command on %1").arg(wanted.label);
        list.append({wanted.trigger, {{QStringLiteral("description"), description},
                                      {QStringLiteral("preferred_trigger"), wanted.trigger}}});
    }
    return list;
}

void PortalHotkeyBackend::closeSession()
{
    if (m_session.isEmpty())
        return;
    m_bus.asyncCall(QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::service), m_session,
                                                   QStringLiteral("org.freedesktop.portal.Session"),
                                                   QStringLiteral("Close")));
    m_session.clear();
}

QCoro::Task<> PortalHotkeyBackend::bind()
{
    m_binding = true;
    do {
        m_bindAgain = false;
        // Some desktops (KDE 5.27) read the shortcuts only when the session is created: a
        // changed set gets a new session under the same token.
        closeSession();
        m_held.clear();
        const PortalShortcutList shortcuts = wantedShortcuts();
        if (shortcuts.isEmpty()) {
            m_bound.clear();
            emit bindingChanged();
            continue;
        }
        // Arguments are built before each co_await: GCC 12 miscompiles QStringLiteral and
        // braced lists inside an awaited expression.
        const QString interface = QString::fromLatin1(globalShortcuts);
        const QString createSession = QStringLiteral("CreateSession");
        const QVariantMap sessionOptions{{QStringLiteral("session_handle_token"), QString::fromLatin1(sessionToken)},
                                         {QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts)}};
        const PortalResponse created =
            co_await PortalRequest::call(m_bus, interface, createSession, {}, sessionOptions, m_timeout);
        PortalResponse bound = created;
        if (created.ok()) {
            m_session = PortalRequest::sessionHandle(created.results);
            const QString bindShortcuts = QStringLiteral("BindShortcuts");
            const QVariantList arguments{QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
                                         QString()};
            bound = co_await PortalRequest::call(m_bus, interface, bindShortcuts, arguments, {}, m_timeout);
        }
        if (m_bindAgain)
            continue;
        if (bound.ok()) {
            m_problem.clear();
            takeBound(bound.results.value(QStringLiteral("shortcuts")));
        } else {
            m_bound.clear();
            m_problem = bound.outcome == PortalResponse::Outcome::failed
                ? bound.error
                : QStringLiteral("The desktop did not bind Tovalin's shortcuts");
            emit bindingChanged();
        }
    } while (m_bindAgain);
    m_binding = false;
}

void PortalHotkeyBackend::takeBound(const QVariant& shortcuts)
{
    PortalShortcutList list;
    if (shortcuts.canConvert<QDBusArgument>())
        shortcuts.value<QDBusArgument>() >> list;
    else
        list = shortcuts.value<PortalShortcutList>();
    m_bound.clear();
    for (const auto& [ref, wanted] : m_wanted) {
        Bound entry{wanted.id, wanted.trigger, {}, wanted.label};
        for (const PortalShortcut& shortcut : std::as_const(list))
            if (shortcut.id == wanted.trigger)
                entry.trigger = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        m_bound.append(entry);
    }
    emit bindingChanged();
}

std::optional<uint32_t> PortalHotkeyBackend::idOf(const QString& shortcutId) const
{
    for (const auto& [ref, wanted] : m_wanted)
        if (wanted.trigger == shortcutId)
            return wanted.id;
    return std::nullopt;
}

void PortalHotkeyBackend::onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                      const QVariantMap&)
{
    if (session.path() != m_session || !m_onPressed)
        return;
    const std::optional<uint32_t> id = idOf(shortcutId);
    if (!id)
        return;
    const auto held = m_held.find(shortcutId);
    const bool repeat = held != m_held.end() && held->second.elapsed() < repeatWindowMs;
    m_held[shortcutId].start();
    if (!repeat)
        m_onPressed(*id);
}

void PortalHotkeyBackend::onDeactivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                        const QVariantMap&)
{
    if (session.path() == m_session)
        m_held.erase(shortcutId);
}

void PortalHotkeyBackend::onShortcutsChanged(const QDBusObjectPath& session, const PortalShortcutList& shortcuts)
{
    if (session.path() == m_session)
        takeBound(QVariant::fromValue(shortcuts));
}
