#include "overlay_command_row.h"
#include "overlay_fixture.h"
#include "overlay_view.h"

#include "ai_error.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>

namespace {
// Sampled left of the icon tile, where only the row's background is painted.
bool rowLooksSelected(OverlayView& view, int row)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image);
    const QRect r = view.rowRect(row);
    return image.pixelColor(r.left() + 4, r.center().y()) == view.palette().color(QPalette::Highlight);
}
} // namespace

class TestOverlayView : public QObject {
    Q_OBJECT
private slots:
    // With typing off the palette keeps exactly the plain key table.
    void keys()
    {
        struct Case { QList<bool> enabled; QList<int> keys; int index; QString ran; int closes; }; // ran: the prompt run
        const int down = Qt::Key_Down, up = Qt::Key_Up, ret = Qt::Key_Return, esc = Qt::Key_Escape;
        const QList<Case> cases = {
            {{true, false, true}, {down, ret}, 1, "prompt C", 1}, // disabled rows are skipped
            {{true, true, true}, {down, down, down}, 2, "", 0},   // stops on the third
            {{true, true, true}, {down, down, down, up, up, up, up}, 0, "", 0},
            {{false, false}, {down, up, ret, esc}, 0, "", 1}, // nothing enabled: only Escape acts
            {{true, true, true}, {down, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Left, Qt::Key_Right, Qt::Key_A}, 1, "", 0},
            {{true, true, true, true}, {Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End, ret}, 3, "prompt D", 1},
        };
        for (const Case& c : cases) {
            OverlayFixture f(c.enabled);
            AppSettings settings = f.state->settings();
            settings.typeToAskInPalette = false;
            f.state->setSettings(settings);
            OverlayView view(*f.state);
            view.show();
            QSignalSpy closeSpy(&view, &OverlayView::closeRequested);
            for (int key : c.keys)
                QTest::keyClick(&view, Qt::Key(key));
            QCOMPARE(view.selectedIndex(), c.index);
            QCOMPARE(f.script->calls, (c.ran.isEmpty() ? Runs() : Runs{{c.ran, QStringLiteral("text")}}));
            QCOMPARE(closeSpy.size(), c.closes);
            QVERIFY(f.waitForPastes(c.ran.isEmpty() ? 0 : 1));
        }
    }

    // Typed words filter by name or category; "Ask" is always the last row; the first
    // Escape clears the line, the second closes.
    void typingFiltersAndAsks()
    {
        struct Case { QString typed; QList<int> keys; QStringList rows; int closes; Runs ran; };
        const int bs = Qt::Key_Backspace, esc = Qt::Key_Escape, down = Qt::Key_Down, ret = Qt::Key_Return;
        const QList<Case> cases = {
            {"b", {}, {"B", "Ask: b"}, 0, {}},
            {"WRIT b", {}, {"B", "Ask: WRIT b"}, 0, {}},           // category "Writing" and name
            {"zz", {}, {"Ask: zz"}, 0, {}},
            {"cx", {bs}, {"C", "Ask: c"}, 0, {}},
            {"c", {bs, bs}, {"A", "B", "C"}, 0, {}},
            {"c", {esc}, {"A", "B", "C"}, 0, {}},
            {"c", {esc, esc}, {"A", "B", "C"}, 1, {}},
            {"c", {ret}, {"C", "Ask: c"}, 1, {{"prompt C", "text"}}},   // the first match is highlighted
            {"make it shorter", {down, ret}, {"Ask: make it shorter"}, 1, {{"make it shorter", "text"}}},
        };
        for (const Case& c : cases) {
            OverlayFixture f({true, true, true});
            OverlayView view(*f.state);
            view.show();
            QSignalSpy closeSpy(&view, &OverlayView::closeRequested);
            QTest::keyClicks(&view, c.typed);
            for (int key : c.keys)
                QTest::keyClick(&view, Qt::Key(key));
            QStringList shown;
            for (const PaletteQuery::Row& row : view.rows())
                shown << row.command.name;
            QCOMPARE(shown, c.rows);
            QCOMPARE(closeSpy.size(), c.closes);
            QCOMPARE(f.script->calls, c.ran);
            QVERIFY(f.waitForPastes(int(c.ran.size())));
            if (!c.ran.isEmpty() && c.ran[0].first == "make it shorter")
                QCOMPARE(f.state->history().first().commandName, QStringLiteral("Custom Instruction"));
        }
    }

    // Auto-close off: the answer is shown first; Return replaces, Ctrl+C copies, Escape
    // discards; a failure is shown in place.
    void reviewBeforeReplace()
    {
        struct Case { QList<QKeySequence> keys; bool fails; QStringList pasted; QString clipboard; };
        const QList<Case> cases = {
            {{QKeySequence(Qt::Key_Return)}, false, {"answer"}, {}},
            {{QKeySequence::Copy}, false, {}, "answer"},
            {{QKeySequence(Qt::Key_Escape)}, false, {}, {}},
            {{QKeySequence(Qt::Key_Escape)}, true, {}, {}},
        };
        for (const Case& c : cases) {
            OverlayFixture f({true});
            AppSettings settings = f.state->settings();
            settings.autoCloseOverlay = false;
            f.state->setSettings(settings);
            if (c.fails)
                f.script->error = std::make_exception_ptr(AIError::serverError("model gone"));
            f.script->delayMs = 30;
            QGuiApplication::clipboard()->setText("before");
            OverlayView view(*f.state);
            view.show();
            QSignalSpy closeSpy(&view, &OverlayView::closeRequested);
            QTest::keyClick(&view, Qt::Key_Return);
            QCOMPARE(view.mode(), OverlayView::Mode::working);
            QTRY_VERIFY(view.mode() != OverlayView::Mode::working);
            QCOMPARE(view.mode(), c.fails ? OverlayView::Mode::failed : OverlayView::Mode::answer);
            QCOMPARE(view.outcomeText(), c.fails ? QStringLiteral("Server error: model gone") : QStringLiteral("answer"));
            QCOMPARE(closeSpy.size(), 0);
            for (const QKeySequence& key : c.keys)
                QTest::keySequence(&view, key);
            QCOMPARE(closeSpy.size(), 1);
            QTest::qWait(200);
            QCOMPARE(f.access.pasted, c.pasted);
            QCOMPARE(QGuiApplication::clipboard()->text(), c.clipboard.isEmpty() ? QStringLiteral("before") : c.clipboard);
            QCOMPARE(f.state->history().size(), c.fails ? 0 : 1); // a discarded answer stays recorded
        }
    }

    void indexPastTheEndAfterTheListShrank()
    {
        OverlayFixture f({true, true, true});
        OverlayView view(*f.state);
        view.resize(view.sizeHint());
        view.show();
        QTest::keyClick(&view, Qt::Key_Down);
        QTest::keyClick(&view, Qt::Key_Down);
        f.state->setCommandEnabled(f.state->commands().at(2), false);
        QCOMPARE(view.selectedIndex(), 2);
        QVERIFY(!rowLooksSelected(view, 0) && !rowLooksSelected(view, 1));
        QTest::keyClick(&view, Qt::Key_Return); // runs nothing: only B below

        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.selectedIndex(), 1);
        QVERIFY(rowLooksSelected(view, 1));
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(f.script->calls, (Runs{{QStringLiteral("prompt B"), QStringLiteral("text")}}));
        QVERIFY(f.waitForPastes(1));
    }

    void textIsReadBeforeTheCloseClearsIt()
    {
        OverlayFixture f({true});
        OverlayView view(*f.state);
        view.show();
        // The harshest close: the store is reset the moment the palette asks to close.
        connect(&view, &OverlayView::closeRequested, f.state.get(), &AppState::closeOverlay);
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(f.state->selectedText(), QString());
        QVERIFY(f.waitForPastes(1));
        QCOMPARE(f.script->calls.value(0).second, QStringLiteral("text"));
    }

    // The palette shows before the selection is read: a Return that comes first waits for the
    // text (and twice is still one run); one that closes the palette meanwhile drops it.
    void returnBeforeTheTextWaitsForIt()
    {
        for (const bool escape : {false, true}) {
            OverlayFixture f({true});
            f.access.selection = QStringLiteral("late text");
            f.access.readDelayMs = 60;
            f.state->openOverlayBeforeText();
            OverlayView view(*f.state);
            view.show();
            connect(&view, &OverlayView::closeRequested, f.state.get(), &AppState::closeOverlay);
            QCoro::Task<> read = f.state->readSelectionBesideOverlay();
            QTest::keyClick(&view, escape ? Qt::Key_Escape : Qt::Key_Return);
            QTest::keyClick(&view, Qt::Key_Return);
            QVERIFY(f.script->calls.isEmpty());
            QVERIFY(QTest::qWaitFor([&] { return read.isReady(); }, 3000));
            QTest::qWait(20);
            QCOMPARE(f.script->calls, escape ? Runs{} : (Runs{{QStringLiteral("prompt A"), QStringLiteral("late text")}}));
            QCOMPARE(f.state->selectedText(), QString()); // the close cleared it, or the run's close did
            if (!escape)
                QVERIFY(f.waitForPastes(1));
        }
    }

    void clickRunsTheClickedRow()
    {
        OverlayFixture f({true, false, true, true});
        OverlayView view(*f.state);
        view.setTranslucent(true); // rows sit inside the shadow margin
        view.resize(view.sizeHint());
        view.show();
        // Pressed on one row and released on another is no click.
        QTest::mousePress(&view, Qt::LeftButton, {}, view.rowRect(0).center());
        QTest::mouseRelease(&view, Qt::LeftButton, {}, view.rowRect(1).center());
        QVERIFY(f.script->calls.isEmpty());
        QTest::mouseClick(&view, Qt::LeftButton, {}, view.rowRect(2).center());
        QCOMPARE(f.script->calls, (Runs{{QStringLiteral("prompt D"), QStringLiteral("text")}}));
        QCOMPARE(view.selectedIndex(), 0);
        QVERIFY(f.waitForPastes(1));
    }

    void theWidthSettingWidensThePalette()
    {
        OverlayFixture f({true, true});
        OverlayView view(*f.state);
        AppSettings s = f.state->settings();
        s.overlayWidth = 0; // the rows' own width
        f.state->setSettings(s);
        const int ideal = view.paletteSizeHint().width();
        for (const int chosen : {ideal + 150, ideal - 50}) {
            s.overlayWidth = chosen;
            f.state->setSettings(s);
            QCOMPARE(view.paletteSizeHint().width(), std::max(chosen, ideal));
        }
    }

    void badgeOnlyForANonEmptyShortcut()
    {
        auto rowSize = [](std::optional<QString> shortcut) {
            Command c = makeCommand(QStringLiteral("Name"));
            c.shortcut = shortcut;
            return OverlayCommandRow(c, false, QFont()).sizeHint();
        };
        QCOMPARE(rowSize(QString()), rowSize(std::nullopt));
        QVERIFY(rowSize(QStringLiteral("⌘⇧G")).width() > rowSize(std::nullopt).width() + OverlayCommandRow::badgeGap);
    }
};

QTEST_MAIN(TestOverlayView)
#include "test_overlay_view.moc"
