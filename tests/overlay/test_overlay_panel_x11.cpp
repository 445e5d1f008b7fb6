#include "overlay_fixture.h"
#include "overlay_panel.h"
#include "overlay_view.h"
#include "x11_test_client.h"

#include <QSignalSpy>

// On a real X server beside another program's text field: the keys reach the palette
// through the grab while the field's window stays active, and afterwards reach the field.
class TestOverlayPanelX11 : public QObject {
    Q_OBJECT
private slots:
    void keysReachThePaletteWhileTheFieldKeepsTheFocus()
    {
        YadEntry field(QStringLiteral("field text"));
        QVERIFY(field.isReady());
        X11TestClient x;
        QVERIFY(x.isConnected());
        const auto fieldPid = std::optional<uint32_t>(uint32_t(field.pid()));

        OverlayFixture f({true, true, true});
        OverlayPanel panel(*f.state);
        QSignalSpy shown(&panel, &OverlayPanel::shown);
        QSignalSpy hidden(&panel, &OverlayPanel::hidden);
        panel.showOverlay();
        QVERIFY(shown.wait(3000));
        QCOMPARE(x.activeWindowPid(), fieldPid);

        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")}));
        QTRY_COMPARE(f.script->calls, (Runs{{QStringLiteral("prompt B"), QStringLiteral("text")}}));
        QVERIFY(hidden.wait(3000));
        QCOMPARE(x.activeWindowPid(), fieldPid);
        QVERIFY(f.waitForPastes(1));

        // Return did not reach the field (it would have closed), and now typing does.
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("Zq")}));
        const std::optional<QString> text = field.submit();
        QVERIFY(text);
        QVERIFY2(text->endsWith(QStringLiteral("Zq")), qPrintable(*text));
    }
};

QTEST_MAIN(TestOverlayPanelX11)
#include "test_overlay_panel_x11.moc"
