#include "overlay_fixture.h"
#include "overlay_geometry.h"
#include "overlay_panel.h"
#include "overlay_view.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>

class TestOverlayPanel : public QObject {
    Q_OBJECT
private slots:
    void geometry()
    {
        const struct { QSize fitting; QRect available, expected; } cases[] = {
            // Bottom edge at 0.45 * 875 = 393.75; 193.75 for 200 high, rounded.
            {{300, 200}, {0, 0, 1440, 875}, {570, 194, 300, 200}},
            {{200, 200}, {0, 0, 1440, 875}, {580, 194, 280, 200}}, // narrow widens
            {{350, 200}, {0, 0, 1440, 875}, {545, 194, 350, 200}},
            {{300, 100}, {1440, 25, 1920, 1050}, {2250, 398, 300, 100}},
            // Too tall to grow upwards from there: moved down, never above the area's top.
            {{300, 680}, {0, 0, 1280, 800}, {490, 0, 300, 680}},
            {{300, 5000}, {0, 30, 1280, 800}, {490, 30, 300, 800}},
        };
        for (const auto& c : cases)
            QCOMPARE(overlayGeometry(c.fitting, c.available), c.expected);
    }

    void showingTwiceRefitsTheOnePanelAndFadesInAgain()
    {
        OverlayFixture f({true, true, true});
        OverlayPanel panel(*f.state);
        panel.warmUp();
        QVERIFY(!panel.isVisible());
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        for (int showing = 0; showing < 2; ++showing) {
            panel.showOverlay();
            QVERIFY(panel.isVisible());
            QCOMPARE(panel.geometry(), overlayGeometry(panel.view()->paletteSizeHint(), available));
            QCOMPARE(panel.windowOpacity(), 0.0);
            QTRY_VERIFY(qAbs(panel.windowOpacity() - f.state->settings().overlayOpacity) < 0.01);
            f.state->addCommand(makeCommand(QStringLiteral("D")));
        }
    }

    void hideResetsTheStoreOnceTheWindowIsGone()
    {
        OverlayFixture f({true, true, true});
        OverlayPanel panel(*f.state);
        f.state->setProcessing(true);
        panel.showOverlay();
        QTest::keyClick(panel.view(), Qt::Key_Down);
        QStringList seen;
        for (auto changed : {&AppState::isOverlayVisibleChanged, &AppState::selectedTextChanged, &AppState::isProcessingChanged})
            connect(f.state.get(), changed, &panel, [&] { seen << (panel.isVisible() ? "visible" : "hidden"); });
        QSignalSpy hidden(&panel, &OverlayPanel::hidden);
        panel.hideOverlay();
        QVERIFY(f.state->isOverlayVisible());
        QVERIFY(hidden.wait(2000));
        QTRY_VERIFY(!f.state->isOverlayVisible());
        QCOMPARE(f.state->selectedText(), QString());
        QVERIFY(!f.state->isProcessing());
        QCOMPARE(seen, QStringList(3, QStringLiteral("hidden")));
        panel.showOverlay();
        QCOMPARE(panel.view()->selectedIndex(), 0);
    }

    void aShowDuringOrJustAfterTheFadeOutWins()
    {
        OverlayFixture f({true, true, true});
        OverlayPanel panel(*f.state);
        QSignalSpy hidden(&panel, &OverlayPanel::hidden);
        panel.showOverlay();
        QTest::keyClick(panel.view(), Qt::Key_Down);
        panel.hideOverlay();
        panel.showOverlay();
        QCOMPARE(panel.view()->selectedIndex(), 0);
        QTest::qWait(3 * OverlayPanel::fadeOutMs);
        QVERIFY(qAbs(panel.windowOpacity() - f.state->settings().overlayOpacity) < 0.01); // faded in to the setting

        // Shown again from hidden(), before that hide's queued store reset has run.
        connect(&panel, &OverlayPanel::hidden, &panel, &OverlayPanel::showOverlay);
        panel.hideOverlay();
        QTest::qWait(3 * OverlayPanel::fadeOutMs);
        QCOMPARE(hidden.size(), 1);
        QVERIFY(panel.isVisible() && f.state->isOverlayVisible());
        QCOMPARE(f.state->selectedText(), QStringLiteral("text"));
    }
};

QTEST_MAIN(TestOverlayPanel)
#include "test_overlay_panel.moc"
