#include "overlay_fixture.h"
#include "overlay_panel.h"
#include "overlay_view.h"
#include "x11_test_client.h"

#include <QSignalSpy>
#include <QTest>

// The panel on a real X server next to another program's text field: the keys go to the
// palette through the grab, the field's window stays active, and once the palette is gone
// the keyboard is the field's again.
class TestOverlayPanelX11 : public QObject {
    Q_OBJECT
private slots:
    void keysReachThePaletteWhileTheFieldKeepsTheFocus()
    {
        YadEntry field(QStringLiteral("field text"));
        QVERIFY(field.isReady());
        X11TestClient x;
        QVERIFY(x.isConnected());

        OverlayFixture f({overlayCommand(QStringLiteral("A")), overlayCommand(QStringLiteral("B")),
                          overlayCommand(QStringLiteral("C"))});
        f.state->setSelectedText(QStringLiteral("field text"));
        f.state->setOverlayVisible(true);
        OverlayPanel panel(*f.state);
        QSignalSpy shown(&panel, &OverlayPanel::shown);
        QSignalSpy hidden(&panel, &OverlayPanel::hidden);
        panel.showOverlay();
        QVERIFY(shown.wait(3000));
        QCOMPARE(x.activeWindowPid(), std::optional<uint32_t>(uint32_t(field.pid())));

        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Down"),
                                                    QStringLiteral("Return")}));
        QTRY_COMPARE(f.runs().size(), 1);
        QCOMPARE(f.runs().first(), std::make_pair(QStringLiteral("prompt B"), QStringLiteral("field text")));
        QVERIFY(hidden.wait(3000));
        QTRY_VERIFY(!f.state->isOverlayVisible());
        QCOMPARE(x.activeWindowPid(), std::optional<uint32_t>(uint32_t(field.pid())));
        QVERIFY(f.waitForPastes(1));

        // The field did not see Return (it would have closed) and now gets the keys again.
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("Zq")}));
        const std::optional<QString> text = field.submit();
        QVERIFY(text);
        QVERIFY2(text->endsWith(QStringLiteral("Zq")), qPrintable(*text));
    }
};

QTEST_MAIN(TestOverlayPanelX11)
#include "test_overlay_panel_x11.moc"
