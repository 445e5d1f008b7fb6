#include "accessibility_service.h"
#include "console_capture.h"
#include "fake_desktop_backends.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QtTest>

using Chord = AccessibilityBackend::Chord;

namespace {

// Runs a selection read to its end while the event loop turns.
std::optional<QString> read(AccessibilityService& service,
                            QCoro::Task<std::optional<QString>> (AccessibilityService::*op)())
{
    bool done = false;
    std::optional<QString> result;
    // Captureless with parameters: a capturing closure would be gone before the coroutine ends.
    [](AccessibilityService& s, auto op, bool& d, std::optional<QString>& r) -> QCoro::Task<> {
        r = co_await (s.*op)();
        d = true;
    }(service, op, done, result);
    // A read that never ends comes back as a text no case expects.
    if (!QTest::qWaitFor([&] { return done; }, 5000))
        return QStringLiteral("<read did not finish>");
    return result;
}

std::optional<QString> selectedText(AccessibilityService& service)
{
    return read(service, &AccessibilityService::getSelectedText);
}

} // namespace

class TestAccessibilityService : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void withoutPermissionNothingIsTouched();
    void withoutActiveWindowNothingIsRead();
    void selectionOfTheActiveProgramIsReadDirectly();
    void otherwiseTheSelectionIsCopied_data();
    void otherwiseTheSelectionIsCopied();
    void copyFinishesAsSoonAsTextArrives();
    void copyGivesUpAfterItsDeadline();
    void copyWaitKeepsTheEventLoopRunning();
    void changeAtTheDeadlineResumesTheReadOnce();
    void chordWaitsForTheUsersModifiers();
    void heldModifiersAreReleasedAfterTheLimit();
    void pasteSetsClipboardThenSendsPasteLater();

private:
    FakeAccessibilityBackend* backend = nullptr;
    std::unique_ptr<AccessibilityService> service;
};

void TestAccessibilityService::init()
{
    auto fake = std::make_unique<FakeAccessibilityBackend>();
    backend = fake.get();
    service = std::make_unique<AccessibilityService>(std::move(fake));
}

void TestAccessibilityService::cleanup()
{
    service.reset();
    backend = nullptr;
}

void TestAccessibilityService::withoutPermissionNothingIsTouched()
{
    ConsoleCapture console;
    backend->trusted = false;
    backend->selectionOwnedByActive = true;
    backend->selection = QStringLiteral("selected");
    backend->clipboard = QStringLiteral("before");
    QVERIFY(!service->checkPermission());
    QCOMPARE(selectedText(*service), std::nullopt);
    QCOMPARE(console.lines, QStringList{QStringLiteral("Accessibility permission not granted")});
    QVERIFY(backend->sent.isEmpty());
    QCOMPARE(backend->clipboard, std::optional<QString>(QStringLiteral("before")));
}

void TestAccessibilityService::withoutActiveWindowNothingIsRead()
{
    ConsoleCapture console;
    backend->active.reset();
    backend->clipboard = QStringLiteral("before");
    QCOMPARE(selectedText(*service), std::nullopt);
    QCOMPARE(console.lines, QStringList{QStringLiteral("No frontmost application")});
    QVERIFY(backend->sent.isEmpty());
    QCOMPARE(backend->clipboard, std::optional<QString>(QStringLiteral("before")));
}

void TestAccessibilityService::selectionOfTheActiveProgramIsReadDirectly()
{
    backend->selectionOwnedByActive = true;
    backend->selection = QStringLiteral("  highlighted, untrimmed ");
    backend->clipboard = QStringLiteral("before");
    backend->copyResult = QStringLiteral("copied");
    QCOMPARE(selectedText(*service), std::optional<QString>(QStringLiteral("  highlighted, untrimmed ")));
    QVERIFY(backend->sent.isEmpty());
    QCOMPARE(backend->clipboard, std::optional<QString>(QStringLiteral("before")));
    QCOMPARE(backend->clipboardWrites, 0);
}

void TestAccessibilityService::otherwiseTheSelectionIsCopied_data()
{
    QTest::addColumn<bool>("ownedByActive");
    QTest::addColumn<std::optional<QString>>("selection");
    QTest::addColumn<std::optional<QString>>("before");
    QTest::addColumn<std::optional<QString>>("copied");
    QTest::addColumn<std::optional<QString>>("result");
    QTest::addColumn<std::optional<QString>>("after");

    const std::optional<QString> none;
    const auto s = [](const char* t) { return std::optional<QString>(QString::fromUtf8(t)); };
    // PRIMARY held by another program is text highlighted earlier elsewhere: never used.
    QTest::newRow("stale selection, text copied") << false << s("stale") << s("before") << s("copied")
                                                  << s("copied") << s("copied");
    QTest::newRow("own selection empty, text copied") << true << s("") << s("before") << s("copied")
                                                      << s("copied") << s("copied");
    QTest::newRow("own selection absent, text copied") << true << none << none << s("copied")
                                                       << s("copied") << s("copied");
    QTest::newRow("nothing copied, previous text back") << false << none << s("before") << none << none
                                                        << s("before");
    QTest::newRow("empty copy, previous text back") << false << none << s("before") << s("") << s("")
                                                    << s("before");
    QTest::newRow("nothing copied, nothing before") << false << none << none << none << none << none;
}

void TestAccessibilityService::otherwiseTheSelectionIsCopied()
{
    QFETCH(bool, ownedByActive);
    QFETCH(std::optional<QString>, selection);
    QFETCH(std::optional<QString>, before);
    QFETCH(std::optional<QString>, copied);
    QFETCH(std::optional<QString>, result);
    QFETCH(std::optional<QString>, after);

    backend->selectionOwnedByActive = ownedByActive;
    backend->selection = selection;
    backend->clipboard = before;
    backend->copyResult = copied;

    QCOMPARE(selectedText(*service), result);
    QCOMPARE(backend->sent.size(), 1);
    QCOMPARE(backend->sent.first().chord, Chord::copy);
    QCOMPARE(backend->clipboard, after);
}

void TestAccessibilityService::copyFinishesAsSoonAsTextArrives()
{
    backend->clipboard = QStringLiteral("before");
    backend->copyResult = QStringLiteral("copied");
    backend->copyDelayMs = 30;
    // A change that brings no text (our own clear, seen late) must not end the wait.
    backend->emitEmptyChangeAfter(2);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(read(*service, &AccessibilityService::copySelectionViaClipboard),
             std::optional<QString>(QStringLiteral("copied")));
    QVERIFY2(clock.elapsed() < 90, qPrintable(QString::number(clock.elapsed())));
}

void TestAccessibilityService::copyGivesUpAfterItsDeadline()
{
    backend->clipboard = QStringLiteral("before");
    backend->copyResult = QStringLiteral("too late");
    backend->copyDelayMs = 400;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(read(*service, &AccessibilityService::copySelectionViaClipboard), std::nullopt);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 95 && elapsed < 350, qPrintable(QString::number(elapsed)));
    QCOMPARE(backend->clipboard, std::optional<QString>(QStringLiteral("before")));
}

void TestAccessibilityService::copyWaitKeepsTheEventLoopRunning()
{
    backend->copyResult.reset(); // the full 0.1 s wait
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(10);
    bool done = false;
    [](AccessibilityService& s, bool& d) -> QCoro::Task<> {
        co_await s.copySelectionViaClipboard();
        d = true;
    }(*service, done);
    QVERIFY(!done); // the call returned to the event loop instead of sleeping
    QTRY_VERIFY(done);
    QVERIFY2(ticks >= 4, qPrintable(QString::number(ticks)));
}

void TestAccessibilityService::changeAtTheDeadlineResumesTheReadOnce()
{
    // A clipboard change and the end of the wait landing in the same event-loop turn
    // must wake the read once, not twice.
    for (int round = 0; round < 24; ++round) {
        backend->clipboard = QStringLiteral("before");
        backend->copyResult = QStringLiteral("copied");
        backend->copyDelayMs = 96 + round % 8;
        const std::optional<QString> text =
            read(*service, &AccessibilityService::copySelectionViaClipboard);
        QVERIFY2(text == std::optional<QString>(QStringLiteral("copied")) || !text,
                 qPrintable(text.value_or(QStringLiteral("<none>"))));
        QTest::qWait(10); // let a late change land before the next round
    }
}

void TestAccessibilityService::chordWaitsForTheUsersModifiers()
{
    backend->heldPolls = 5; // the user lets go of the hotkey after about 50 ms
    backend->copyResult = QStringLiteral("copied");
    QCOMPARE(read(*service, &AccessibilityService::copySelectionViaClipboard),
             std::optional<QString>(QStringLiteral("copied")));
    QCOMPARE(backend->sent.size(), 1);
    QVERIFY(!backend->sent.first().modifiersWereHeld);
    QVERIFY2(backend->sent.first().atMs >= 40, qPrintable(QString::number(backend->sent.first().atMs)));
    QCOMPARE(backend->releaseCalls, 0);
}

void TestAccessibilityService::heldModifiersAreReleasedAfterTheLimit()
{
    backend->heldPolls = -1; // held for good
    backend->copyResult = QStringLiteral("copied");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(read(*service, &AccessibilityService::copySelectionViaClipboard),
             std::optional<QString>(QStringLiteral("copied")));
    QCOMPARE(backend->releaseCalls, 1);
    QCOMPARE(backend->sent.size(), 1);
    QVERIFY(!backend->sent.first().modifiersWereHeld);
    const qint64 waited = backend->sent.first().atMs;
    QVERIFY2(waited >= 950 && waited < 1500, qPrintable(QString::number(waited)));
}

void TestAccessibilityService::pasteSetsClipboardThenSendsPasteLater()
{
    backend->clipboard = QStringLiteral("before");
    const qint64 start = backend->clock.elapsed();
    service->pasteText(QStringLiteral("abc"));
    QCOMPARE(backend->clipboard, std::optional<QString>(QStringLiteral("abc")));
    QVERIFY(backend->sent.isEmpty());
    QTRY_COMPARE(backend->sent.size(), 1);
    QCOMPARE(backend->sent.first().chord, Chord::paste);
    const qint64 delay = backend->sent.first().atMs - start;
    QVERIFY2(delay >= 49 && delay < 300, qPrintable(QString::number(delay)));
    QCOMPARE(backend->clipboard, std::optional<QString>(QStringLiteral("abc")));

    // A paste while the user still holds modifiers waits for them too.
    backend->heldPolls = 3;
    service->pasteText(QStringLiteral("def"));
    QTRY_COMPARE(backend->sent.size(), 2);
    QVERIFY(!backend->sent.last().modifiersWereHeld);
}

QTEST_GUILESS_MAIN(TestAccessibilityService)
#include "test_accessibility_service.moc"
