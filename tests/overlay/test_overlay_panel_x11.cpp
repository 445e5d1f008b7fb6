#include "overlay_fixture.h"
#include "overlay_panel.h"
#include "overlay_view.h"
#include "platform_backends.h"
#include "x11_test_client.h"

#include <QSignalSpy>

// On a real X server beside another program's text field: the palette's keys reach the
// palette while the field's window stays active, and no key typed meanwhile reaches the
// field, whether the palette holds the keyboard itself or through Qt's fallback grab.
class TestOverlayPanelX11 : public QObject {
    Q_OBJECT
private slots:
    void keysReachThePaletteWhileTheFieldKeepsTheFocus_data()
    {
        QTest::addColumn<bool>("paletteKeys");
        QTest::newRow("palette keys") << true;
        QTest::newRow("Qt keyboard grab") << false;
    }

    void keysReachThePaletteWhileTheFieldKeepsTheFocus()
    {
        QFETCH(bool, paletteKeys);
        YadEntry field(QStringLiteral("field text"));
        QVERIFY(field.isReady());
        X11TestClient x;
        const auto fieldPid = std::optional<uint32_t>(uint32_t(field.pid()));

        OverlayFixture f({true, true, true});
        OverlayPanel panel(*f.state);
        const std::unique_ptr<PaletteKeys> keys = paletteKeys ? makePaletteKeys() : nullptr;
        panel.setPaletteKeys(keys.get());
        QSignalSpy shown(&panel, &OverlayPanel::shown);
        QSignalSpy hidden(&panel, &OverlayPanel::hidden);
        panel.showOverlay();
        QVERIFY(shown.wait(3000));
        QCOMPARE(x.activeWindowPid(), fieldPid);

        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("Zq")}));
        // Typed at the palette, and taken back there: the field sees none of it.
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Tab"), QStringLiteral("BackSpace"), QStringLiteral("BackSpace")}));
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")}));
        QTRY_COMPARE(f.script->calls, (Runs{{QStringLiteral("prompt B"), QStringLiteral("text")}}));
        QVERIFY(hidden.wait(3000));
        QCOMPARE(x.activeWindowPid(), fieldPid);
        QVERIFY(f.waitForPastes(1));

        // Return did not reach the field (it would have closed), and now typing does.
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("Xy")}));
        const std::optional<QString> text = field.submit();
        QCOMPARE(text, std::optional<QString>("Xy"));
    }

    // A list taller than the screen stays on it, and the highlighted row with it.
    void aLongListFitsTheScreenAndScrolls_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("25 commands") << 25;
        QTest::newRow("100,000 commands") << 100000;
    }
    void aLongListFitsTheScreenAndScrolls()
    {
        QFETCH(int, count);
        QList<Command> commands;
        for (int i = 0; i < count; ++i)
            commands.append(makeCommand(QStringLiteral("Command %1").arg(i + 1)));
        commands[count / 2].name = QString(100000, QLatin1Char('W')); // cut for display and storage
        OverlayFixture f(std::in_place, commands);
        QCOMPARE(f.state->commands()[count / 2].name.size(), Command::maxNameLength);

        OverlayPanel panel(*f.state);
        const std::unique_ptr<PaletteKeys> keys = makePaletteKeys();
        panel.setPaletteKeys(keys.get());
        QSignalSpy shown(&panel, &OverlayPanel::shown);
        panel.showOverlay();
        QVERIFY(shown.wait(3000));
        const QRect screen = panel.screen()->availableGeometry();
        OverlayView& view = *panel.view();
        const auto onScreen = [&](int row) {
            const QRect rect = view.rowRect(row);
            return !rect.isNull() && screen.contains(QRect(view.mapToGlobal(rect.topLeft()), rect.size()));
        };
        QVERIFY2(screen.contains(panel.geometry().marginsRemoved(view.shadowMargins())),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(panel.x()).arg(panel.y()).arg(panel.width()).arg(panel.height())));
        QVERIFY(view.visibleRowCount() < count);
        QVERIFY(onScreen(0));

        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("End")}));
        QTRY_COMPARE(view.selectedIndex(), count - 1);
        QVERIFY(onScreen(count - 1));
        QVERIFY(view.rowRect(0).isNull()); // scrolled away
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Page_Up")}));
        QTRY_VERIFY(view.selectedIndex() < count - 2);
        QVERIFY(onScreen(view.selectedIndex()));
        // The wheel scrolls the list and takes the highlight along, never leaving it hidden.
        const int before = view.firstVisibleRow();
        QTest::mouseMove(&view, view.rowRect(before).center());
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("5"), QStringLiteral("4")}));
        QTRY_COMPARE(view.firstVisibleRow(), std::max(before - 15, 0)); // three rows a notch
        QVERIFY(onScreen(view.selectedIndex()));

        const QString chosen = f.state->commands()[view.selectedIndex()].prompt;
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_COMPARE(f.script->calls.size(), 1);
        QCOMPARE(f.script->calls[0].first, chosen);
        QVERIFY(f.waitForPastes(1));
    }
};

QTEST_MAIN(TestOverlayPanelX11)
#include "test_overlay_panel_x11.moc"
