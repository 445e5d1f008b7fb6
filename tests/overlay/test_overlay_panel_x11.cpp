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
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Tab"), QStringLiteral("BackSpace")}));
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
};

QTEST_MAIN(TestOverlayPanelX11)
#include "test_overlay_panel_x11.moc"
