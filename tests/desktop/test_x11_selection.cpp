#include "accessibility_service.h"
#include "platform_backends.h"
#include "x11/x11_key_map.h"
#include "x11_test_client.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QCoro/QCoroTask>
#include <QGuiApplication>
#include <QtTest>
#include <xcb/xcb.h>

using Text = std::optional<QString>;

namespace {

// Runs a read to its end while the event loop turns (the field's program may ask us for
// the clipboard meanwhile).
Text read(AccessibilityService& service, QCoro::Task<Text> (AccessibilityService::*op)())
{
    bool done = false;
    Text result;
    [](AccessibilityService& s, auto op, bool& d, Text& r) -> QCoro::Task<> {
        r = co_await (s.*op)();
        d = true;
    }(service, op, done, result);
    if (!QTest::qWaitFor([&] { return done; }, 5000))
        return QStringLiteral("<read did not finish>");
    return result;
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

bool xdotool(const char* action, const char* keys)
{
    return runTool(QStringLiteral("xdotool"), {QString::fromLatin1(action), QString::fromLatin1(keys)});
}

// Counts other programs' requests for a selection we own: a paste in progress.
struct SelectionRequestCounter : QAbstractNativeEventFilter {
    int count = 0;
    SelectionRequestCounter() { qGuiApp->installNativeEventFilter(this); }
    ~SelectionRequestCounter() override { qGuiApp->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type == "xcb_generic_event_t"
            && (static_cast<xcb_generic_event_t*>(message)->response_type & 0x7f) == XCB_SELECTION_REQUEST)
            ++count;
        return false;
    }
};

} // namespace

class TestX11Selection : public QObject {
    Q_OBJECT
    std::unique_ptr<AccessibilityService> service;

    Text selectedText() { return read(*service, &AccessibilityService::getSelectedText); }

private slots:
    void init()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        service = std::make_unique<AccessibilityService>(makeAccessibilityBackend());
    }

    void cleanup()
    {
        service.reset();
        // Whatever happened, no modifier may stay down for the next case.
        xdotool("keyup", "super+shift+ctrl");
        QTRY_COMPARE(X11TestClient().modifierState() & X11KeyMap::hotkeyModifierMask, 0);
    }

    void primaryOfTheActiveFieldIsTheSelection()
    {
        XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("before"));
        YadEntry field(QStringLiteral("primary words"));
        QVERIFY(clipboard.isReady() && field.isReady());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(selectedText(), Text(QStringLiteral("primary words")));
        // One request to the field's program and no copy round: quick, clipboard untouched.
        QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(clipboardText(), QStringLiteral("before"));
    }

    void withoutASelectionThePreviousClipboardIsBack()
    {
        XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("before"));
        YadEntry field(QStringLiteral("field words"));
        // Something highlighted elsewhere takes PRIMARY; the field loses its highlight.
        XclipOwner stale(XclipOwner::Selection::primary, QStringLiteral("stale words"));
        QVERIFY(clipboard.isReady() && field.isReady() && stale.isReady());
        const Text text = selectedText();
        QVERIFY2(!text || text->isEmpty(), qPrintable(text.value_or(QString())));
        QCOMPARE(clipboardText(), QStringLiteral("before"));
        QVERIFY(QGuiApplication::clipboard()->ownsClipboard()); // served by us now
    }

    void copyReadsAFieldOnceTheHotkeyModifiersAreReleased()
    {
        XclipOwner clipboard(XclipOwner::Selection::clipboard, QStringLiteral("before"));
        YadEntry field(QStringLiteral("copied words"));
        QVERIFY(clipboard.isReady() && field.isReady());
        // The user keeps holding the hotkey's modifiers: Ctrl+C must not go out with them.
        QVERIFY(xdotool("keydown", "super+shift"));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(read(*service, &AccessibilityService::copySelectionViaClipboard), Text(QStringLiteral("copied words")));
        QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(X11TestClient().modifierState() & X11KeyMap::hotkeyModifierMask, 0);
        QCOMPARE(clipboardText(), QStringLiteral("copied words"));
    }

    void pasteReplacesTheFieldSelection()
    {
        YadEntry field(QStringLiteral("old text"));
        QVERIFY(field.isReady());
        SelectionRequestCounter requests;
        service->pasteText(QStringLiteral("abc"));
        QCOMPARE(clipboardText(), QStringLiteral("abc"));
        // The field asks us for the clipboard once the synthetic Ctrl+V arrives.
        QTRY_VERIFY(requests.count > 0);
        QTest::qWait(150);
        QCOMPARE(field.submit(), Text(QStringLiteral("abc")));
        QCOMPARE(clipboardText(), QStringLiteral("abc"));
    }
};

QTEST_MAIN(TestX11Selection)
#include "test_x11_selection.moc"
