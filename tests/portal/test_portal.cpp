// The portal calls against a fake portal on a private session bus: their order, the
// session and restore tokens, a refusal, a portal that is missing or never answers,
// shortcuts that fire and shortcuts the desktop bound differently, and the session's
// clipboard: read through a pipe, served through one, never waited on with the loop stopped.
#include "fake_notification_server.h"
#include "fake_portal.h"
#include "portal/portal_clipboard.h"
#include "portal/portal_hotkey_backend.h"
#include "portal/portal_keyboard.h"
#include "portal/portal_offer.h"
#include "wayland/wayland_parts.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QCoro/QCoroTask>

using namespace std::chrono_literals;

namespace {
constexpr int shiftL = 0xffe1;
constexpr int insert = 0xff63;
constexpr uint spaceKey = 49, gKey = 5, kKey = 40;
constexpr uint cmdShift = 0x100 | 0x200;

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A keyboard session started with the desktop's clipboard, on a portal that offers one.
struct ClipboardSession {
    ClipboardSession(const QString& busAddress, const QDBusConnection& bus, bool enabled,
                     std::chrono::milliseconds transferWait = 2s)
        : portal(busAddress, 1, 2, 1), clipboard(bus, transferWait), keyboard(bus, dir.filePath("token"), 400ms)
    {
        portal.answer("Start", 0, {{"devices", 1u}, {"clipboard_enabled", enabled}});
        keyboard.shareClipboard(&clipboard);
        started = QCoro::waitFor(keyboard.start());
        for (const FakePortal::Call& call : portal.calls())
            if (call.member == "Start")
                session = call.arguments.value(0).value<QDBusObjectPath>().path();
    }
    // mutterNames: as GNOME's portal passed them on before it translated them.
    void ownerChanged(const QStringList& types, bool ours = false, bool mutterNames = false)
    {
        QDBusArgument wrapped;
        wrapped.beginStructure();
        wrapped << types;
        wrapped.endStructure();
        const QVariantMap options = mutterNames
            ? QVariantMap{{"mime-types", QVariant::fromValue(wrapped)}, {"session-is-owner", ours}}
            : QVariantMap{{"mime_types", types}, {"session_is_owner", ours}};
        portal.emitSignal("org.freedesktop.portal.Clipboard", "SelectionOwnerChanged",
                          {QVariant::fromValue(QDBusObjectPath(session)), options});
    }

    QTemporaryDir dir;
    FakePortal portal;
    PortalClipboard clipboard;
    PortalKeyboard keyboard;
    bool started = false;
    QString session;
};
} // namespace

class TestPortal : public QObject {
    Q_OBJECT
    PrivateSessionBus m_bus;

    QDBusConnection client(const QString& name)
    {
        return QDBusConnection::connectToBus(m_bus.address(), name);
    }

private slots:
    void initTestCase()
    {
        if (m_bus.address().isEmpty())
            QSKIP("dbus-daemon could not be started");
    }

    void keyboardAsksOnceAndTypes_data()
    {
        QTest::addColumn<QString>("tokenBefore"); // empty: no earlier start
        QTest::addColumn<int>("startResponse");   // -1: the portal never answers
        QTest::addColumn<bool>("portalPresent");
        QTest::addColumn<QStringList>("members");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("tokenAfter");
        QTest::addColumn<QString>("problem");
        const QStringList started{"CreateSession", "SelectDevices", "Start", "NotifyKeyboardKeysym",
                                  "NotifyKeyboardKeysym", "NotifyKeyboardKeysym", "NotifyKeyboardKeysym"};
        const QStringList notStarted{"CreateSession", "SelectDevices", "Start", "Close"};
        using S = PortalKeyboard::State;
        QTest::newRow("first start") << "" << 0 << true << started << int(S::granted) << "token-new" << "";
        QTest::newRow("remembered") << "token-old" << 0 << true << started << int(S::granted) << "token-new" << "";
        QTest::newRow("refused") << "" << 1 << true << notStarted << int(S::refused) << ""
                                 << "did not allow Tovalin to type";
        QTest::newRow("no answer") << "token-old" << -1 << true << (notStarted.mid(0, 3) + QStringList{"Close", "Close"})
                                   << int(S::failed) << "token-old" << "did not answer in time";
        QTest::newRow("no portal") << "" << 0 << false << QStringList{} << int(S::failed) << ""
                                   << "xdg-desktop-portal) is not running";
    }
    void keyboardAsksOnceAndTypes()
    {
        QFETCH(QString, tokenBefore);
        QFETCH(int, startResponse);
        QFETCH(bool, portalPresent);
        QFETCH(QStringList, members);
        QFETCH(int, state);
        QFETCH(QString, tokenAfter);
        QFETCH(QString, problem);

        QTemporaryDir dir;
        const QString tokenFile = dir.filePath("state/remote-desktop-token");
        if (!tokenBefore.isEmpty()) {
            QDir().mkpath(dir.filePath("state"));
            QFile file(tokenFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(tokenBefore.toUtf8());
        }
        std::unique_ptr<FakePortal> portal;
        if (portalPresent) {
            portal = std::make_unique<FakePortal>(m_bus.address());
            QVERIFY(portal->isRegistered());
            if (startResponse < 0)
                portal->staySilent("Start");
            else
                portal->answer("Start", uint(startResponse), {{"devices", 1u}, {"restore_token", "token-new"}});
        }
        PortalKeyboard keyboard(client("keyboard-" + QString::fromLatin1(QTest::currentDataTag())), tokenFile, 400ms);
        QCOMPARE(keyboard.state(), tokenBefore.isEmpty() ? PortalKeyboard::State::notAsked
                                                         : PortalKeyboard::State::remembered);

        const bool typed = QCoro::waitFor(keyboard.chord({shiftL}, insert));
        QTest::qWait(50); // the Close calls are not awaited
        QCOMPARE(typed, state == int(PortalKeyboard::State::granted));
        QCOMPARE(int(keyboard.state()), state);
        QVERIFY2(keyboard.problem().contains(problem), qPrintable(keyboard.problem()));
        QCOMPARE(readFile(tokenFile), tokenAfter);
        if (!portal)
            return;
        QCOMPARE(portal->members(), members);

        const QVariantMap devices = portal->lastOptions("SelectDevices");
        QCOMPARE(devices.value("types").toUInt(), 1u);
        QCOMPARE(devices.value("persist_mode").toUInt(), 2u);
        QCOMPARE(devices.value("restore_token").toString(), tokenBefore);
        if (!typed)
            return;
        QCOMPARE(QFile(tokenFile).permissions() & 0x0077, QFileDevice::Permissions());
        QList<std::pair<int, uint>> keys;
        for (const FakePortal::Call& call : portal->calls())
            if (call.member == "NotifyKeyboardKeysym")
                keys.append({call.arguments.value(2).toInt(), call.arguments.value(3).toUInt()});
        const QList<std::pair<int, uint>> chord{{shiftL, 1}, {insert, 1}, {insert, 0}, {shiftL, 0}};
        QCOMPARE(keys, chord);

        // The session stays for the next paste: no second dialog.
        QVERIFY(QCoro::waitFor(keyboard.chord({}, insert)));
        QCOMPARE(portal->members().count("Start"), 1);
    }

    void shortcutsBoundAndActivated()
    {
        FakePortal portal(m_bus.address());
        QVERIFY(portal.isRegistered());
        PortalShortcut::registerTypes();
        portal.answer("BindShortcuts", 0,
                      {{"shortcuts", QVariant::fromValue(PortalShortcutList{
                                         {"SHIFT+LOGO+space", {{"trigger_description", "Super+Shift+Space"}}},
                                         {"SHIFT+LOGO+g", {{"trigger_description", "Ctrl+Alt+G"}}}})}});
        PortalHotkeyBackend backend(client("shortcuts"), 400ms);
        QList<uint32_t> pressed;
        QCOMPARE(backend.installHandler([&](uint32_t id) { pressed.append(id); }), HotkeyBackend::noErr);
        QCOMPARE(backend.registerHotkey(spaceKey, cmdShift, 0).status, HotkeyBackend::noErr);
        const auto command = backend.registerHotkey(gKey, cmdShift, 7);
        QVERIFY(QTest::qWaitFor([&] { return !backend.bound().isEmpty(); }, 2000));

        // One session for all, the shortcuts already in CreateSession.
        QCOMPARE(portal.members(), (QStringList{"CreateSession", "BindShortcuts"}));
        const QVariantMap created = portal.lastOptions("CreateSession");
        QCOMPARE(created.value("session_handle_token").toString(), QString("tovalin"));
        const auto offered = qdbus_cast<PortalShortcutList>(created.value("shortcuts"));
        QCOMPARE(offered.size(), 2);
        QCOMPARE(offered.at(1).properties.value("preferred_trigger").toString(), QString("SHIFT+LOGO+g"));
        QCOMPARE(backend.bound().at(1).trigger, QString("Ctrl+Alt+G"));

        const QString session = portal.calls().at(1).arguments.value(0).value<QDBusObjectPath>().path();
        QVERIFY(session.endsWith("/tovalin"));
        auto send = [&](const QString& name, const QString& path, const QString& id) {
            portal.emitSignal("org.freedesktop.portal.GlobalShortcuts", name,
                              {QVariant::fromValue(QDBusObjectPath(path)), id, qulonglong(1), QVariantMap()});
        };
        send("Activated", session, "SHIFT+LOGO+g");
        send("Activated", session, "SHIFT+LOGO+g");  // held: the desktop repeats it
        send("Activated", "/org/freedesktop/portal/desktop/session/1_99/other", "SHIFT+LOGO+space");
        send("Deactivated", session, "SHIFT+LOGO+g");
        send("Activated", session, "SHIFT+LOGO+space");
        QVERIFY(QTest::qWaitFor([&] { return pressed.size() == 2; }, 2000));
        QTest::qWait(50);
        QCOMPARE(pressed, (QList<uint32_t>{7, 0}));

        // The user changes the trigger in the desktop's settings.
        portal.emitSignal("org.freedesktop.portal.GlobalShortcuts", "ShortcutsChanged",
                          {QVariant::fromValue(QDBusObjectPath(session)),
                           QVariant::fromValue(PortalShortcutList{{"SHIFT+LOGO+g", {{"trigger_description", "F9"}}}})});
        QVERIFY(QTest::qWaitFor([&] { return backend.bound().at(1).trigger == "F9"; }, 2000));

        // A shortcut changed in Tovalin: a new session with the new set, the old one closed.
        backend.unregisterHotkey(*command.ref);
        backend.registerHotkey(kKey, cmdShift, 8);
        QVERIFY(QTest::qWaitFor([&] { return portal.members().size() == 5; }, 2000));
        QCOMPARE(portal.members().mid(2), (QStringList{"Close", "CreateSession", "BindShortcuts"}));
        QVERIFY(portal.calls().at(2).path.endsWith("/tovalin"));
        const auto rebound = qdbus_cast<PortalShortcutList>(portal.calls().at(4).arguments.value(1));
        QCOMPARE(rebound.at(1).id, QString("SHIFT+LOGO+k"));

        // A desktop that never answers leaves a reason, not a hang.
        portal.staySilent("BindShortcuts");
        backend.registerHotkey(gKey, 0x1000, 9);
        QVERIFY(QTest::qWaitFor([&] { return !backend.problem().isEmpty(); }, 3000));
        QVERIFY(backend.problem().contains("did not answer in time"));
    }

    void chooserTakesThePortalsOffered_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<uint>("shortcuts");
        QTest::addColumn<uint>("clipboard");
        QTest::addColumn<bool>("portalShortcuts");
        QTest::addColumn<bool>("portalKeyboard");
        QTest::newRow("GNOME 48") << true << 1u << 1u << true << true;
        QTest::newRow("GNOME 45-47") << true << 0u << 1u << false << true;
        QTest::newRow("KDE 5.27") << true << 1u << 0u << true << true;
        QTest::newRow("GNOME 43-44") << true << 0u << 0u << false << true;
        QTest::newRow("no portal") << false << 0u << 0u << false << false;
    }
    void chooserTakesThePortalsOffered()
    {
        QFETCH(bool, present);
        QFETCH(uint, shortcuts);
        QFETCH(uint, clipboard);
        QFETCH(bool, portalShortcuts);
        QFETCH(bool, portalKeyboard);
        std::unique_ptr<FakePortal> portal;
        if (present)
            portal = std::make_unique<FakePortal>(m_bus.address(), shortcuts, 2, clipboard);
        const PortalOffer offer = PortalOffer::probe(client("probe"), 2000ms);
        const QList<WaylandGlobal> gnome{{"wl_seat", 8}, {"xdg_wm_base", 4}};
        const WaylandParts parts = WaylandParts::choose(gnome, offer);
        QCOMPARE(parts.portalShortcuts, portalShortcuts);
        QCOMPARE(parts.portalKeyboard, portalKeyboard);
        QCOMPARE(parts.servesNatively(), portalKeyboard); // the palette reads, the portal types
        QCOMPARE(parts.portalClipboard, clipboard >= 1);
        const WaylandParts kde = WaylandParts::choose(gnome + QList<WaylandGlobal>{{"zwlr_data_control_manager_v1", 2}}, offer);
        QCOMPARE(kde.servesNatively(), portalKeyboard);
        QVERIFY(!kde.portalClipboard); // data-control reads without the focus already
        // A compositor's own virtual keyboard comes before the portal's.
        const WaylandParts sway = WaylandParts::choose({{"wl_seat", 7}, {"zwp_virtual_keyboard_manager_v1", 1}}, offer);
        QVERIFY(sway.virtualKeyboard && !sway.portalKeyboard);
    }

    void clipboardJoinsTheSession_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::newRow("enabled") << true;
        QTest::newRow("not enabled") << false;
    }
    void clipboardJoinsTheSession()
    {
        QFETCH(bool, enabled);
        ClipboardSession desk(m_bus.address(), client("joins-" + QString::fromLatin1(QTest::currentDataTag())), enabled);
        QVERIFY(desk.started);
        QCOMPARE(desk.portal.members(), (QStringList{"CreateSession", "SelectDevices", "RequestClipboard", "Start"}));
        QCOMPARE(desk.portal.calls().at(2).arguments.value(0).value<QDBusObjectPath>().path(), desk.session);
        QCOMPARE(desk.keyboard.clipboardEnabled(), enabled);

        desk.portal.offerSelection("copied");
        desk.ownerChanged({"text/plain"}, false, true);
        if (enabled) {
            QVERIFY(QTest::qWaitFor([&] { return desk.clipboard.text().has_value(); }, 2000));
            QCOMPARE(*desk.clipboard.text(), QString("copied"));
        } else {
            QTest::qWait(100);
            QVERIFY(!desk.portal.members().contains("SelectionRead"));
        }
        // A closed session takes its clipboard along.
        desk.keyboard.askAgain();
        QVERIFY(!desk.keyboard.clipboardEnabled() && !desk.clipboard.isBound());
    }

    void clipboardReadsTheOwnersText_data()
    {
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("delivered"); // false: the pipe stays open and silent
        QTest::addColumn<QString>("readAs");  // empty: not read
        QTest::addColumn<bool>("hasText");
        const QByteArray limit(PortalClipboard::readLimit, 'x');
        QTest::newRow("UTF-8 first") << QStringList{"TEXT", "image/png", "text/plain;charset=utf-8", "UTF8_STRING"}
                                     << QByteArray("Grüße\n") << true << "text/plain;charset=utf-8" << true;
        QTest::newRow("X11 owner") << QStringList{"STRING", "UTF8_STRING"} << QByteArray("x") << true << "UTF8_STRING"
                                   << true;
        QTest::newRow("no text") << QStringList{"image/png"} << QByteArray() << true << "" << false;
        QTest::newRow("silent owner") << QStringList{"text/plain"} << QByteArray() << false << "text/plain" << false;
        QTest::newRow("8 MiB") << QStringList{"text/plain"} << limit << true << "text/plain" << true;
        QTest::newRow("over 8 MiB") << QStringList{"text/plain"} << limit + "x" << true << "text/plain" << false;
    }
    void clipboardReadsTheOwnersText()
    {
        QFETCH(QStringList, offered);
        QFETCH(QByteArray, content);
        QFETCH(bool, delivered);
        QFETCH(QString, readAs);
        QFETCH(bool, hasText);
        ClipboardSession desk(m_bus.address(), client("reads-" + QString::fromLatin1(QTest::currentDataTag())), true,
                              delivered ? 5s : 300ms);
        QVERIFY(desk.started);
        desk.portal.offerSelection(delivered ? std::optional<QByteArray>(content) : std::nullopt);
        QSignalSpy changed(&desk.clipboard, &PortalClipboard::changed);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QElapsedTimer clock;
        clock.start();

        desk.ownerChanged(offered);
        QVERIFY(QTest::qWaitFor([&] { return changed.size() == 1; }, 3000));
        QCOMPARE(desk.clipboard.text().has_value(), hasText);
        if (hasText)
            QCOMPARE(*desk.clipboard.text(), QString::fromUtf8(content));
        const auto reads = desk.portal.members().count("SelectionRead");
        QCOMPARE(reads, readAs.isEmpty() ? 0 : 1);
        if (reads)
            QCOMPARE(desk.portal.calls().constLast().arguments.value(1).toString(), readAs);
        if (!delivered) { // ended by the time-out, the event loop running all along
            QVERIFY2(clock.elapsed() >= 250, qPrintable(QString::number(clock.elapsed())));
            QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        }
    }

    void clipboardServesItsText()
    {
        ClipboardSession desk(m_bus.address(), client("serves"), true);
        QVERIFY(desk.started);
        const QString answer = QStringLiteral("Grüße, Welt");
        desk.clipboard.setText(answer);
        QCOMPARE(desk.clipboard.text(), answer);
        QCoro::waitFor(desk.clipboard.offered());
        QCOMPARE(desk.portal.members().constLast(), QString("SetSelection"));
        QCOMPARE(qdbus_cast<QStringList>(desk.portal.lastOptions("SetSelection").value("mime_types")),
                 (QStringList{"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"}));

        QSignalSpy fetched(&desk.clipboard, &PortalClipboard::fetched);
        desk.portal.emitSignal("org.freedesktop.portal.Clipboard", "SelectionTransfer",
                               {QVariant::fromValue(QDBusObjectPath(desk.session)), "UTF8_STRING", 7u});
        QVERIFY(QTest::qWaitFor([&] { return fetched.size() == 1; }, 2000));
        const FakePortal::Call done = desk.portal.calls().constLast();
        QCOMPARE(done.member, QString("SelectionWriteDone"));
        QCOMPARE(done.arguments.value(1).toUInt(), 7u);
        QCOMPARE(done.arguments.value(2).toBool(), true);
        // All of it, and the pipe closed before the desktop heard it was done.
        QCOMPARE(desk.portal.written().value(7).bytes, answer.toUtf8());
        QVERIFY(desk.portal.written().value(7).closed);

        // The desktop names us the owner: the text stays, nothing is read back.
        desk.ownerChanged({"text/plain"}, true);
        QTest::qWait(50);
        QCOMPARE(desk.clipboard.text(), answer);
        QVERIFY(!desk.portal.members().contains("SelectionRead"));
        desk.clipboard.clear();
        QVERIFY(!desk.clipboard.text());
    }
};

QTEST_GUILESS_MAIN(TestPortal)
#include "test_portal.moc"
