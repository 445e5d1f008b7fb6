#include "console_capture.h"
#include "fake_desktop_backends.h"
#include "hotkey_service.h"

#include <QtTest>

namespace {
constexpr uint32_t commandShift = 0x120000;
constexpr uint32_t controlOption = 0xC0000;
constexpr uint32_t commandShiftMask = 0x300;
constexpr uint32_t controlOptionMask = 0x1800;
} // namespace

class TestHotkeyService : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void paletteRegisteredTwiceKeepsOnlyTheSecond();
    void refusedPaletteLeavesNothingRegistered();
    void commandIdsAreSpentWhenRefusedAndResetByUnregister();
    void handlerFailureRefusesEverything();
    void actionIsLookedUpWhenTheQueuedTaskRuns();
    void actionMayReRegisterWhileRunning();
    void unregisterAllReleasesEverything();

private:
    std::shared_ptr<HotkeyJournal> journal;
    std::unique_ptr<HotkeyService> service;
};

void TestHotkeyService::init()
{
    journal = std::make_shared<HotkeyJournal>();
    service = std::make_unique<HotkeyService>(std::make_unique<FakeHotkeyBackend>(journal));
}

void TestHotkeyService::cleanup()
{
    service.reset();
    journal.reset();
}

void TestHotkeyService::paletteRegisteredTwiceKeepsOnlyTheSecond()
{
    int first = 0, second = 0;
    QVERIFY(service->registerOverlayHotkey(49, commandShift, [&] { ++first; }));
    QVERIFY(service->registerOverlayHotkey(40, controlOption, [&] { ++second; }));

    QCOMPARE(journal->active.size(), size_t(1));
    const HotkeyJournal::Active& only = journal->active.begin()->second;
    QCOMPARE(only.keyCode, 40u);
    QCOMPARE(only.carbonMask, controlOptionMask);
    QCOMPARE(only.id, 0u);
    QCOMPARE(journal->installCalls, 1);

    journal->press(0);
    QCOMPARE(second, 0); // never inside the press handler
    QTRY_COMPARE(second, 1);
    QCOMPARE(first, 0);
}

void TestHotkeyService::refusedPaletteLeavesNothingRegistered()
{
    ConsoleCapture console;
    QVERIFY(service->registerOverlayHotkey(49, commandShift, [] {}));
    journal->refused[{40, controlOptionMask}] = 10;

    QVERIFY(!service->registerOverlayHotkey(40, controlOption, [] {}));
    QVERIFY(journal->active.empty());
    QCOMPARE(console.lines, QStringList{QStringLiteral("Failed to register overlay hotkey: 10")});

    // A later combination that is accepted becomes the one palette hotkey.
    QVERIFY(service->registerOverlayHotkey(49, commandShift, [] {}));
    QCOMPARE(journal->active.size(), size_t(1));
    QCOMPARE(journal->active.begin()->second.carbonMask, commandShiftMask);
}

void TestHotkeyService::commandIdsAreSpentWhenRefusedAndResetByUnregister()
{
    ConsoleCapture console;
    QVERIFY(service->registerOverlayHotkey(49, commandShift, [] {}));
    journal->refused[{0, controlOptionMask}] = 10;

    QCOMPARE(service->registerCommandHotkey(0, controlOption, [] {}), std::nullopt);
    QCOMPARE(service->registerCommandHotkey(1, controlOption, [] {}), std::optional<uint32_t>(2));
    QCOMPARE(service->registerCommandHotkey(2, controlOption, [] {}), std::optional<uint32_t>(3));
    QCOMPARE(journal->registeredIds, (QList<uint32_t>{0, 1, 2, 3}));
    QCOMPARE(console.lines, QStringList{QStringLiteral("Failed to register command hotkey: 10")});
    QCOMPARE(journal->active.size(), size_t(3));

    service->unregisterAllCommandHotkeys();
    // The palette hotkey stays; the command hotkeys are gone.
    QCOMPARE(journal->active.size(), size_t(1));
    QCOMPARE(journal->active.begin()->second.id, 0u);

    QCOMPARE(service->registerCommandHotkey(1, controlOption, [] {}), std::optional<uint32_t>(1));
    QCOMPARE(journal->installCalls, 1);
}

void TestHotkeyService::handlerFailureRefusesEverything()
{
    ConsoleCapture console;
    journal->installStatus = -9870;
    QVERIFY(!service->registerOverlayHotkey(49, commandShift, [] {}));
    QCOMPARE(service->registerCommandHotkey(1, controlOption, [] {}), std::nullopt);
    QCOMPARE(console.lines, (QStringList{QStringLiteral("Failed to install event handler: -9870"),
                                         QStringLiteral("Failed to install event handler: -9870")}));
    QVERIFY(journal->registeredIds.isEmpty());

    // No id was spent while the handler was missing.
    journal->installStatus = HotkeyBackend::noErr;
    QCOMPARE(service->registerCommandHotkey(1, controlOption, [] {}), std::optional<uint32_t>(1));
    QCOMPARE(journal->installCalls, 3);
}

void TestHotkeyService::actionIsLookedUpWhenTheQueuedTaskRuns()
{
    QStringList ran;
    QCOMPARE(service->registerCommandHotkey(1, controlOption, [&] { ran << QStringLiteral("old"); }),
             std::optional<uint32_t>(1));

    // Pressed just before a refresh: the action registered under the id afterwards runs.
    journal->press(1);
    service->unregisterAllCommandHotkeys();
    QCOMPARE(service->registerCommandHotkey(2, controlOption, [&] { ran << QStringLiteral("new"); }),
             std::optional<uint32_t>(1));
    QTRY_COMPARE(ran, QStringList{QStringLiteral("new")});

    // Pressed and then unregistered: nothing runs.
    journal->press(1);
    service->unregisterAllCommandHotkeys();
    QTest::qWait(50);
    QCOMPARE(ran, QStringList{QStringLiteral("new")});

    // An id that never had an action, and a palette press without a palette hotkey.
    journal->press(7);
    journal->press(0);
    QTest::qWait(50);
    QCOMPARE(ran, QStringList{QStringLiteral("new")});
}

void TestHotkeyService::actionMayReRegisterWhileRunning()
{
    // The store refreshes all command hotkeys from inside a hotkey's own action, and the
    // hotkeys tab replaces the palette hotkey the same way; the running action must survive.
    int runs = 0;
    QString captured = QStringLiteral("kept alive by the action");
    std::function<void()> palette = [&, captured] {
        ++runs;
        service->registerOverlayHotkey(40, controlOption, [] {});
        QCOMPARE(captured, QStringLiteral("kept alive by the action"));
    };
    QVERIFY(service->registerOverlayHotkey(49, commandShift, palette));
    QVERIFY(service->registerCommandHotkey(1, controlOption, [&, captured] {
        ++runs;
        service->unregisterAllCommandHotkeys();
        QCOMPARE(captured, QStringLiteral("kept alive by the action"));
    }));
    journal->press(0);
    journal->press(1);
    QTRY_COMPARE(runs, 2);
    QCOMPARE(journal->active.size(), size_t(1));
}

void TestHotkeyService::unregisterAllReleasesEverything()
{
    int runs = 0;
    QVERIFY(service->registerOverlayHotkey(49, commandShift, [&] { ++runs; }));
    QVERIFY(service->registerCommandHotkey(1, controlOption, [&] { ++runs; }));
    journal->press(0);
    service->unregisterAll();
    QVERIFY(journal->active.empty());
    QCOMPARE(journal->removeCalls, 1);
    QTest::qWait(50);
    QCOMPARE(runs, 0);

    // Registering again installs the handler again; destroying the service releases it all.
    QVERIFY(service->registerCommandHotkey(1, controlOption, [] {}));
    QCOMPARE(journal->installCalls, 2);
    service.reset();
    QVERIFY(journal->active.empty());
    QCOMPARE(journal->removeCalls, 2);
}

QTEST_GUILESS_MAIN(TestHotkeyService)
#include "test_hotkey_service.moc"
