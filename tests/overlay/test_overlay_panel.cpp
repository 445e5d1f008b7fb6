#include "overlay_fixture.h"
#include "overlay_geometry.h"
#include "overlay_panel.h"
#include "overlay_view.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {
QList<Command> threeCommands()
{
    return {overlayCommand(QStringLiteral("A")), overlayCommand(QStringLiteral("B")),
            overlayCommand(QStringLiteral("C"), true, QStringLiteral("⌘⇧K"))};
}

int visiblePanels()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<OverlayPanel*>(w) && w->isVisible();
    return n;
}

// What the delegate does before showing: the store says the palette is up.
void openInStore(AppState& state, const QString& text)
{
    state.setSelectedText(text);
    state.setOverlayVisible(true);
}
} // namespace

class TestOverlayPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The headless platform cannot grab, raise, mask or fade; it says so on every call.
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.startsWith(QLatin1String("This plugin does not support")))
                previous(type, context, message);
        });
    }

    void geometry_data()
    {
        QTest::addColumn<QSize>("fitting");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        // 875 - (481.25 + 200) = 193.75 from the top, rounded to whole pixels.
        QTest::newRow("300x200 on 1440x875") << QSize(300, 200) << QRect(0, 0, 1440, 875)
                                             << QRect(570, 194, 300, 200);
        QTest::newRow("narrow content widens") << QSize(200, 200) << QRect(0, 0, 1440, 875)
                                               << QRect(580, 194, 280, 200);
        QTest::newRow("wide content kept") << QSize(350, 200) << QRect(0, 0, 1440, 875)
                                           << QRect(545, 194, 350, 200);
        // Bottom edge at 25 + 0.45 * 1050 = 497.5; centred on x 1440 + 960.
        QTest::newRow("offset second screen") << QSize(300, 100) << QRect(1440, 25, 1920, 1050)
                                              << QRect(2250, 398, 300, 100);
        QTest::newRow("no rows") << QSize(12, 12) << QRect(0, 0, 1000, 1000) << QRect(360, 438, 280, 12);
    }

    void geometry()
    {
        QFETCH(QSize, fitting);
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        QCOMPARE(overlayGeometry(fitting, available), expected);
    }

    void showPlacesAndFadesIn()
    {
        for (bool translucent : {false, true}) {
            OverlayFixture f(threeCommands());
            OverlayPanel panel(*f.state);
            panel.setTranslucent(translucent);
            QSignalSpy shown(&panel, &OverlayPanel::shown);
            panel.showOverlay();
            QVERIFY(panel.isVisible());
            QCOMPARE(panel.windowOpacity(), 0.0);

            OverlayView* view = panel.view();
            const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
            const QRect palette = overlayGeometry(view->paletteSizeHint(), available);
            QCOMPARE(panel.geometry().marginsRemoved(view->shadowMargins()), palette);
            QCOMPARE(view->paletteRect().size(), palette.size());
            // Opaque: the corners are cut from the window; translucent: no cut.
            QCOMPARE(panel.mask().isEmpty(), translucent);

            QVERIFY(shown.wait(2000));
            QTRY_COMPARE(panel.windowOpacity(), 1.0);
        }
    }

    void warmUpShowsNothing()
    {
        OverlayFixture f(threeCommands());
        OverlayPanel panel(*f.state);
        QSignalSpy shown(&panel, &OverlayPanel::shown);
        panel.warmUp();
        QVERIFY(panel.windowHandle());
        QVERIFY(!panel.isVisible());
        QTest::qWait(50);
        QCOMPARE(shown.size(), 0);
        panel.showOverlay();
        QVERIFY(shown.wait(2000));
    }

    void hideResetsTheStoreAfterTheWindowIsGone()
    {
        OverlayFixture f(threeCommands());
        OverlayPanel panel(*f.state);
        openInStore(*f.state, QStringLiteral("text"));
        f.state->setProcessing(true);
        panel.showOverlay();

        QStringList order;
        auto note = [&](const char* what) {
            return [&, what] { order << QString::fromLatin1(what) + (panel.isVisible() ? "+visible" : ""); };
        };
        connect(f.state.get(), &AppState::isOverlayVisibleChanged, this, note("overlay"));
        connect(f.state.get(), &AppState::selectedTextChanged, this, note("text"));
        connect(f.state.get(), &AppState::isProcessingChanged, this, note("processing"));
        QSignalSpy hidden(&panel, &OverlayPanel::hidden);

        panel.hideOverlay();
        QVERIFY(panel.isVisible()); // fading out
        QVERIFY(f.state->isOverlayVisible());
        QVERIFY(hidden.wait(2000));
        QVERIFY(!panel.isVisible());
        QTRY_VERIFY(!f.state->isOverlayVisible());
        QCOMPARE(f.state->selectedText(), QString());
        QVERIFY(!f.state->isProcessing());
        QCOMPARE(order, (QStringList{"overlay", "text", "processing"}));

        // Nothing keeps running while hidden.
        for (QAbstractAnimation* a : panel.findChildren<QAbstractAnimation*>())
            QCOMPARE(a->state(), QAbstractAnimation::Stopped);
    }

    void showingTwiceLeavesOnePanel()
    {
        OverlayFixture f(threeCommands());
        OverlayPanel panel(*f.state);
        openInStore(*f.state, QStringLiteral("text"));
        panel.showOverlay();
        const int firstHeight = panel.height();
        QTRY_COMPARE(panel.windowOpacity(), 1.0);

        f.state->addCommand(overlayCommand(QStringLiteral("D")));
        panel.showOverlay();
        QCOMPARE(visiblePanels(), 1);
        QCOMPARE(panel.windowOpacity(), 0.0);
        QCOMPARE(panel.height(), firstHeight + panel.view()->rowRect(0).height());
        QTRY_COMPARE(panel.windowOpacity(), 1.0);

        // Shown again halfway through the fade-in: the fade starts over.
        auto* fade = panel.findChild<QPropertyAnimation*>();
        QVERIFY(fade);
        panel.hideOverlay();
        panel.showOverlay();
        QTest::qWait(OverlayPanel::fadeInMs / 2);
        panel.showOverlay();
        QCOMPARE(fade->state(), QAbstractAnimation::Running);
        QCOMPARE(fade->currentTime(), 0);
        QCOMPARE(fade->endValue().toDouble(), 1.0);
        QCOMPARE(visiblePanels(), 1);
    }

    void aShowDuringTheFadeOutWins()
    {
        OverlayFixture f(threeCommands());
        OverlayPanel panel(*f.state);
        openInStore(*f.state, QStringLiteral("text"));
        panel.showOverlay();
        QTest::keyClick(panel.view(), Qt::Key_Down);
        panel.hideOverlay();
        panel.showOverlay();
        QCOMPARE(panel.view()->selectedIndex(), 0);
        QTest::qWait(3 * OverlayPanel::fadeOutMs);
        QVERIFY(panel.isVisible());
        QCOMPARE(panel.windowOpacity(), 1.0);
        QVERIFY(f.state->isOverlayVisible());
        QCOMPARE(f.state->selectedText(), QStringLiteral("text"));

        // Hidden, and shown again before the queued store reset ran: the new showing keeps
        // its flags.
        connect(&panel, &OverlayPanel::hidden, &panel, [&] {
            openInStore(*f.state, QStringLiteral("newer"));
            panel.showOverlay();
        });
        panel.hideOverlay();
        QTest::qWait(3 * OverlayPanel::fadeOutMs);
        QVERIFY(panel.isVisible());
        QVERIFY(f.state->isOverlayVisible());
        QCOMPARE(f.state->selectedText(), QStringLiteral("newer"));
    }

    void eachShowingStartsOnTheFirstRow()
    {
        OverlayFixture f(threeCommands());
        OverlayPanel panel(*f.state);
        QSignalSpy hidden(&panel, &OverlayPanel::hidden);
        for (int showing = 0; showing < 2; ++showing) {
            panel.showOverlay();
            QCOMPARE(panel.view()->selectedIndex(), 0);
            QTest::keyClick(panel.view(), Qt::Key_Down);
            QTest::keyClick(panel.view(), Qt::Key_Down);
            QCOMPARE(panel.view()->selectedIndex(), 2);
            QTest::keyClick(panel.view(), Qt::Key_Escape);
            QVERIFY(hidden.wait(2000));
        }
    }

    void returnClosesAndRunsWithTheOpeningText()
    {
        OverlayFixture f(threeCommands());
        OverlayPanel panel(*f.state);
        openInStore(*f.state, QStringLiteral("the selection"));
        panel.showOverlay();
        QSignalSpy hidden(&panel, &OverlayPanel::hidden);
        QTest::keyClick(panel.view(), Qt::Key_Down);
        QTest::keyClick(panel.view(), Qt::Key_Return);
        QCOMPARE(f.runs().size(), 1);
        QCOMPARE(f.runs().first(), std::make_pair(QStringLiteral("prompt B"), QStringLiteral("the selection")));
        QVERIFY(hidden.wait(2000));
        QTRY_COMPARE(f.state->selectedText(), QString());
        QVERIFY(f.waitForPastes(1));
        QCOMPARE(f.state->history().size(), 1);
        QCOMPARE(f.state->history().first().originalText, QStringLiteral("the selection"));
    }

    void hideWhileHiddenStillResetsTheStore()
    {
        OverlayFixture f(threeCommands());
        OverlayPanel panel(*f.state);
        openInStore(*f.state, QStringLiteral("text"));
        panel.hideOverlay();
        QVERIFY(!panel.isVisible());
        QTRY_VERIFY(!f.state->isOverlayVisible());
        QCOMPARE(f.state->selectedText(), QString());
    }
};

QTEST_MAIN(TestOverlayPanel)
#include "test_overlay_panel.moc"
