#include "accessibility_service.h"
#include "platform_backends.h"
#include "x11/x11_key_map.h"
#include "x11_test_client.h"

#include <QClipboard>
#include <QCoro/QCoroTask>
#include <QGuiApplication>
#include <QtTest>

namespace {

struct PendingRead {
    bool done = false;
    std::optional<QString> result;
};

// Starts a read and lets it run while the test goes on.
std::shared_ptr<PendingRead> start(AccessibilityService& service,
                                   QCoro::Task<std::optional<QString>> (AccessibilityService::*op)())
{
    auto pending = std::make_shared<PendingRead>();
    [](AccessibilityService& s, auto op, std::shared_ptr<PendingRead> p) -> QCoro::Task<> {
        p->result = co_await (s.*op)();
        p->done = true;
    }(service, op, pending);
    return pending;
}

std::optional<QString> finish(const std::shared_ptr<PendingRead>& pending, int timeoutMs = 5000)
{
    if (!QTest::qWaitFor([&] { return pending->done; }, timeoutMs))
        return QStringLiteral("<read did not finish>");
    return pending->result;
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

constexpr uint16_t hotkeyModifiers = X11KeyMap::hotkeyModifierMask;

} // namespace

class TestX11Selection : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void trustedUnderX();
    void primaryOfTheActiveFieldIsTheSelection();
    void primaryOfAnotherProgramIsNotTheSelection();
    void emptyFieldLeavesThePreviousClipboard();
    void copyFallbackReadsATextField();
    void copyWaitsUntilTheHotkeyModifiersAreUp();
    void modifiersHeldTooLongAreReleased();
    void pasteReplacesTheFieldSelection();

private:
    std::unique_ptr<AccessibilityService> service;
};

void TestX11Selection::init()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    service = std::make_unique<AccessibilityService>(makeAccessibilityBackend());
}

void TestX11Selection::cleanup()
{
    service.reset();
    // Whatever happened, no modifier may stay down for the next case.
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("super+shift+ctrl")});
    QTRY_COMPARE(X11TestClient().modifierState() & hotkeyModifiers, 0);
}

void TestX11Selection::trustedUnderX()
{
    QVERIFY(service->checkPermission());
}

void TestX11Selection::primaryOfTheActiveFieldIsTheSelection()
{
    XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("before"));
    QVERIFY(clipboard.isReady());
    YadEntry field(QStringLiteral("primary words"));
    QVERIFY(field.isReady());

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(finish(start(*service, &AccessibilityService::getSelectedText)),
             std::optional<QString>(QStringLiteral("primary words")));
    // One request to the field's program, no copy round: a few milliseconds.
    QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
    // Read from PRIMARY: no copy happened, the clipboard is as it was.
    QCOMPARE(clipboardText(), QStringLiteral("before"));
}

void TestX11Selection::primaryOfAnotherProgramIsNotTheSelection()
{
    XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("before"));
    QVERIFY(clipboard.isReady());
    YadEntry field(QStringLiteral("field words"));
    QVERIFY(field.isReady());
    // Something highlighted elsewhere takes PRIMARY; the field loses its highlight.
    XclipOwner stale(XclipOwner::Selection::primary, QStringLiteral("stale words"));
    QVERIFY(stale.isReady());

    const std::optional<QString> text = finish(start(*service, &AccessibilityService::getSelectedText));
    QVERIFY2(!text || text->isEmpty(), qPrintable(text.value_or(QString())));
    QCOMPARE(clipboardText(), QStringLiteral("before"));
}

void TestX11Selection::emptyFieldLeavesThePreviousClipboard()
{
    XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("previous"));
    QVERIFY(clipboard.isReady());
    YadEntry field{QString()};
    QVERIFY(field.isReady());

    const std::optional<QString> text = finish(start(*service, &AccessibilityService::getSelectedText));
    QVERIFY2(!text || text->isEmpty(), qPrintable(text.value_or(QString())));
    QCOMPARE(clipboardText(), QStringLiteral("previous"));
    // The previous text is served by us now, to any program.
    QVERIFY(QGuiApplication::clipboard()->ownsClipboard());
}

void TestX11Selection::copyFallbackReadsATextField()
{
    XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("before"));
    QVERIFY(clipboard.isReady());
    YadEntry field(QStringLiteral("copied words"));
    QVERIFY(field.isReady());

    QCOMPARE(finish(start(*service, &AccessibilityService::copySelectionViaClipboard)),
             std::optional<QString>(QStringLiteral("copied words")));
    QCOMPARE(clipboardText(), QStringLiteral("copied words"));
    QVERIFY(!QGuiApplication::clipboard()->ownsClipboard());
}

void TestX11Selection::copyWaitsUntilTheHotkeyModifiersAreUp()
{
    YadEntry field(QStringLiteral("held words"));
    QVERIFY(field.isReady());
    QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("super+shift")}));
    QVERIFY(X11TestClient().modifierState() & X11KeyMap::mod4Mask);

    auto pending = start(*service, &AccessibilityService::copySelectionViaClipboard);
    QTest::qWait(300);
    QVERIFY(!pending->done); // nothing is sent while Super+Shift are down

    QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("super+shift")}));
    QCOMPARE(finish(pending), std::optional<QString>(QStringLiteral("held words")));
}

void TestX11Selection::modifiersHeldTooLongAreReleased()
{
    YadEntry field(QStringLiteral("released words"));
    QVERIFY(field.isReady());
    QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("super+shift")}));

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(finish(start(*service, &AccessibilityService::copySelectionViaClipboard)),
             std::optional<QString>(QStringLiteral("released words")));
    QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
    // Released, and nothing pressed again: no modifier is left down.
    QCOMPARE(X11TestClient().modifierState() & hotkeyModifiers, 0);
}

void TestX11Selection::pasteReplacesTheFieldSelection()
{
    YadEntry field(QStringLiteral("old text"));
    QVERIFY(field.isReady());
    SelectionRequestCounter requests;

    service->pasteText(QStringLiteral("abc"));
    QCOMPARE(clipboardText(), QStringLiteral("abc"));
    // The field asks us for the clipboard once the synthetic Ctrl+V arrives.
    QTRY_VERIFY(requests.count() > 0);
    QTest::qWait(150);

    QCOMPARE(field.submit(), std::optional<QString>(QStringLiteral("abc")));
    QCOMPARE(clipboardText(), QStringLiteral("abc"));
}

QTEST_MAIN(TestX11Selection)
#include "test_x11_selection.moc"
