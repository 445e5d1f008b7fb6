#include "accessibility_service.h"
#include "console_capture.h"
#include "terminal_window.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTimer>
#include <QtTest>

using Chord = AccessibilityBackend::Chord;
using Text = std::optional<QString>;

namespace {

// A scripted desktop: the active window, its selection, the clipboard, and an application
// that answers a synthetic copy after a delay.
struct FakeDesktop : AccessibilityBackend {
    struct Sent { Chord chord; qint64 atMs; bool whileHeld; };
    bool trusted = true, ownsSelection = false, focusOnly = false, copies = false, copyReady = true;
    std::optional<quint64> active = 42;
    Text selection, clipboard, copyResult; // copyResult: what the application copies on Ctrl+C
    int copyDelayMs = 5, releaseCalls = 0, heldPolls = 0; // heldPolls: polls before the user lets go; -1: never
    QList<Sent> sent;
    QStringList activeClass{QStringLiteral("gedit"), QStringLiteral("Gedit")};
    QElapsedTimer clock;

    FakeDesktop() { clock.start(); }
    bool isTrusted() override { return trusted; }
    std::optional<quint64> activeWindow() override { return active; }
    bool selectionOwnedBy(quint64 window) override { return ownsSelection && active == window; }
    QStringList windowClass(quint64 window) override { return active == window ? activeClass : QStringList(); }
    Text selectionText() override { return selection; }
    bool readsOnlyWithFocus() override { return focusOnly; }
    bool copiesWithoutFocus() override { return copies; }
    QCoro::Task<bool> prepareCopy() override { co_return copyReady; }
    Text clipboardText() override { return clipboard; }
    // As on X11, our own clear is reported late, as a change that brings no text.
    void clearClipboard() override { clipboard.reset(); QTimer::singleShot(2, this, &FakeDesktop::clipboardChanged); }
    void setClipboardText(const QString& text) override { clipboard = text; emit clipboardChanged(); }
    bool modifiersHeld() override { return heldPolls < 0 || (heldPolls > 0 && heldPolls--); }
    void releaseHeldModifiers() override { ++releaseCalls; heldPolls = 0; }
    void sendChord(Chord chord) override
    {
        sent.append({chord, clock.elapsed(), heldPolls != 0});
        if (chord == Chord::paste && fetches)
            QTimer::singleShot(5, this, &FakeDesktop::clipboardFetched);
        if ((chord == Chord::copy || chord == Chord::terminalCopy) && copyResult)
            QTimer::singleShot(copyDelayMs, this, [this, text = *copyResult] { setClipboardText(text); });
    }
    void openAccessibilitySettings() override {}
    // The target fetches what was pasted a few ms after the paste chord, unless it is slow.
    bool fetches = true;
    std::shared_ptr<QMimeData> clipboardSnapshot() override
    {
        auto saved = std::make_shared<QMimeData>();
        if (clipboard)
            saved->setText(*clipboard);
        return saved;
    }
    void restoreClipboard(const QMimeData& saved) override { clipboard = saved.text(); }
};

// One read of the selection: the desktop's state, then what the read gives, how many chords it
// sent, what the clipboard (holding "before" at the start) holds afterwards and what it logged.
struct ReadCase {
    bool trusted = true;
    std::optional<quint64> active = 42;
    bool owned = false, focusOnly = false, copies = false, copyReady = true;
    Text selection = {}, copied = {};
    int copyDelayMs = 5;
    Text result = {}, clipboardAfter = QStringLiteral("before");
    int chords = 1;
    QString line = {};
    bool beside = false; // read after the palette shows, with no key sent
};

} // namespace

class TestAccessibilityService : public QObject {
    Q_OBJECT
    FakeDesktop* desktop = nullptr;
    std::unique_ptr<AccessibilityService> service;

private slots:
    void init()
    {
        auto fake = std::make_unique<FakeDesktop>();
        desktop = fake.get();
        service = std::make_unique<AccessibilityService>(std::move(fake));
    }

    void selectionOrCopyAndWhatTheClipboardKeeps_data()
    {
        QTest::addColumn<ReadCase>("c");
        const auto s = [](const char* t) { return Text(QString::fromUtf8(t)); };
        QTest::newRow("no permission") << ReadCase{.trusted = false, .owned = true, .selection = s("sel"),
            .copied = s("copied"), .chords = 0, .line = QStringLiteral("Accessibility permission not granted")};
        QTest::newRow("no active window") << ReadCase{.active = std::nullopt, .owned = true, .selection = s("sel"),
            .copied = s("copied"), .chords = 0, .line = QStringLiteral("No frontmost application")};
        QTest::newRow("own selection, untrimmed") << ReadCase{.owned = true, .selection = s(" sel "),
            .copied = s("copied"), .result = s(" sel "), .chords = 0, .beside = true};
        // Wayland without data-control: only a focused window of ours reads, and Ctrl+C would
        // go to it, so nothing is copied.
        QTest::newRow("focus needed, none came") << ReadCase{.focusOnly = true, .selection = s("sel"),
            .copied = s("copied"), .chords = 0,
            .line = QStringLiteral("No selection: Tovalin's window did not get the focus to read it"), .beside = true};
        // ...unless the desktop's clipboard and keys work without the focus (Clipboard portal).
        QTest::newRow("focus needed, copied without it") << ReadCase{.focusOnly = true, .copies = true,
            .selection = s("sel"), .copied = s("a\r\nb"), .result = s("a\nb"), .clipboardAfter = s("a\r\nb"),
            .beside = true};
        QTest::newRow("focus needed, copy not allowed") << ReadCase{.focusOnly = true, .copies = true,
            .copyReady = false, .selection = s("sel"), .copied = s("copied"), .chords = 0,
            .line = QStringLiteral("No selection: Tovalin's window did not get the focus to read it"), .beside = true};
        // PRIMARY held by another program is text highlighted earlier elsewhere: never used.
        QTest::newRow("stale selection, text copied") << ReadCase{.selection = s("stale"), .copied = s("copied"),
            .result = s("copied"), .clipboardAfter = s("copied")};
        QTest::newRow("own selection empty, copied") << ReadCase{.owned = true, .selection = s(""),
            .copied = s("copied"), .result = s("copied"), .clipboardAfter = s("copied"), .beside = true};
        // Some programs hand text over with CRLF; the text is what the program holds.
        QTest::newRow("own selection, CRLF") << ReadCase{.owned = true, .selection = s("a\r\nb\r\n"),
            .result = s("a\nb\n"), .chords = 0, .beside = true};
        QTest::newRow("copied, CRLF") << ReadCase{.copied = s("a\r\nb"), .result = s("a\nb"),
            .clipboardAfter = s("a\r\nb")};
        QTest::newRow("nothing copied, previous back") << ReadCase{};
        QTest::newRow("empty copy, previous back") << ReadCase{.copied = s(""), .result = s("")};
        QTest::newRow("copy too late, previous back") << ReadCase{.copied = s("late"), .copyDelayMs = 400};
    }

    void selectionOrCopyAndWhatTheClipboardKeeps()
    {
        QFETCH(ReadCase, c);
        ConsoleCapture console;
        desktop->trusted = c.trusted;
        desktop->active = c.active;
        desktop->ownsSelection = c.owned;
        desktop->focusOnly = c.focusOnly;
        desktop->copies = c.copies;
        desktop->copyReady = c.copyReady;
        desktop->selection = c.selection;
        desktop->copyResult = c.copied;
        desktop->copyDelayMs = c.copyDelayMs;
        desktop->clipboard = QStringLiteral("before");
        QCOMPARE(service->readsBesidePalette(), c.beside);
        QCOMPARE(QCoro::waitFor(service->getSelectedText()), c.result);
        QCOMPARE(desktop->sent.size(), c.chords);
        QCOMPARE(desktop->clipboard, c.clipboardAfter);
        QCOMPARE(console.lines, c.line.isEmpty() ? QStringList{} : QStringList{c.line});
        QCOMPARE(service->readProblem(), c.line.startsWith("No selection: ") ? c.line.mid(14) : QString());
        // Beside the palette, which has the focus, a copy chord would go to the palette.
        const qsizetype sent = desktop->sent.size();
        if (c.focusOnly)
            QCOMPARE(QCoro::waitFor(service->getSelectedTextBesidePalette()), Text());
        QCOMPARE(desktop->sent.size(), sent);
    }

    void terminalsGetShiftedChords()
    {
        QVERIFY(isTerminalWindow({"xterm", "XTerm"}) && isTerminalWindow({"kitty"}));
        QVERIFY(!isTerminalWindow({"Navigator", "firefox"}) && !isTerminalWindow({}));
        desktop->activeClass = {"gnome-terminal-server", "Gnome-terminal"};
        desktop->copyResult = QStringLiteral("ls -la");
        QCOMPARE(QCoro::waitFor(service->copySelectionViaClipboard()), Text(QStringLiteral("ls -la")));
        service->pasteText(QStringLiteral("abc"));
        QTRY_COMPARE(desktop->sent.size(), 2);
        QCOMPARE(desktop->sent[0].chord, Chord::terminalCopy); // never a bare Ctrl+C in a terminal
        QCOMPARE(desktop->sent[1].chord, Chord::terminalPaste);
    }

    // The old clipboard comes back once the target fetched the answer (or after a second),
    // unless the user copied something else meanwhile or did not ask for it.
    void theClipboardComesBackAfterThePaste()
    {
        const struct { bool restore, fetches; QString copiedMeanwhile; int withinMs; QString after; } cases[] = {
            {true, true, {}, 500, "before"},
            {true, false, {}, 1500, "before"},
            {true, true, "mine", 500, "mine"},
            {false, true, {}, 500, "abc"},
        };
        for (const auto& c : cases) {
            desktop->clipboard = QStringLiteral("before");
            desktop->fetches = c.fetches;
            const qint64 start = desktop->clock.elapsed();
            service->pasteText(QStringLiteral("abc"), std::nullopt, c.restore);
            QCOMPARE(desktop->clipboard, Text(QStringLiteral("abc")));
            QTRY_VERIFY(!desktop->sent.isEmpty()); // the chord comes a moment later
            QCOMPARE(desktop->sent[0].chord, Chord::paste);
            QCOMPARE_GE(desktop->sent[0].atMs - start, 49);
            QCOMPARE_LT(desktop->sent[0].atMs - start, 300);
            desktop->sent.clear();
            if (!c.copiedMeanwhile.isEmpty())
                desktop->clipboard = c.copiedMeanwhile;
            QTRY_COMPARE_WITH_TIMEOUT(desktop->clipboard, Text(c.after), c.withinMs);
            QTest::qWait(c.fetches ? 300 : 1100);
            QCOMPARE(desktop->clipboard, Text(c.after));
            if (c.restore && c.copiedMeanwhile.isEmpty())
                QCOMPARE_GE(desktop->clock.elapsed() - start, c.fetches ? 150 : 1000);
        }
    }

    void copyAtTheDeadlineResumesTheReadOnce()
    {
        // A clipboard change and the end of the wait in the same event-loop turn must wake
        // the read once, not twice (a second resume crashes).
        for (int round = 0; round < 16; ++round) {
            desktop->copyResult = QStringLiteral("copied");
            desktop->copyDelayMs = 96 + round % 8;
            const Text text = QCoro::waitFor(service->copySelectionViaClipboard());
            QVERIFY2(!text || *text == QStringLiteral("copied"), qPrintable(text.value_or(QString())));
        }
    }

    void chordsGoOutWithoutTheUsersModifiers()
    {
        desktop->heldPolls = 5; // the user lets go of the hotkey after about 50 ms
        desktop->copyResult = QStringLiteral("copied");
        QCOMPARE(QCoro::waitFor(service->copySelectionViaClipboard()), Text(QStringLiteral("copied")));
        QVERIFY(!desktop->sent[0].whileHeld && desktop->releaseCalls == 0);

        desktop->heldPolls = -1; // held for good: released after a second
        const qint64 start = desktop->clock.elapsed();
        service->pasteText(QStringLiteral("abc"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop->sent.size(), 2, 3000);
        QVERIFY(!desktop->sent[1].whileHeld && desktop->releaseCalls == 1);
        QCOMPARE_GE(desktop->sent[1].atMs - start, 1000);
        QCOMPARE_LT(desktop->sent[1].atMs - start, 1600);
    }

};

QTEST_GUILESS_MAIN(TestAccessibilityService)
#include "test_accessibility_service.moc"
