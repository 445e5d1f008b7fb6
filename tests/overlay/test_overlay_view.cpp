#include "overlay_command_row.h"
#include "overlay_fixture.h"
#include "overlay_view.h"

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
    void keys_data()
    {
        QTest::addColumn<QList<bool>>("enabled");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("ran"); // prompt of the command run, if any
        QTest::addColumn<int>("closes");
        const int down = Qt::Key_Down, up = Qt::Key_Up, ret = Qt::Key_Return, esc = Qt::Key_Escape;
        QTest::newRow("disabled rows are skipped") << QList<bool>{true, false, true} << QList<int>{down, ret} << 1
                                                   << "prompt C" << 1;
        QTest::newRow("down x3 stops on the third")
            << QList<bool>{true, true, true} << QList<int>{down, down, down} << 2 << "" << 0;
        QTest::newRow("then up x4 on the first")
            << QList<bool>{true, true, true} << QList<int>{down, down, down, up, up, up, up} << 0 << "" << 0;
        QTest::newRow("nothing enabled: only escape acts")
            << QList<bool>{false, false} << QList<int>{down, up, ret, esc} << 0 << "" << 1;
        QTest::newRow("other keys do nothing")
            << QList<bool>{true, true, true}
            << QList<int>{down, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Left, Qt::Key_Right, Qt::Key_PageDown, Qt::Key_A}
            << 1 << "" << 0;
    }

    void keys()
    {
        QFETCH(QList<bool>, enabled);
        QFETCH(QList<int>, keys);
        QFETCH(int, index);
        QFETCH(QString, ran);
        QFETCH(int, closes);
        OverlayFixture f(enabled);
        OverlayView view(*f.state);
        view.show();
        QSignalSpy closeSpy(&view, &OverlayView::closeRequested);
        for (int key : keys)
            QTest::keyClick(&view, Qt::Key(key));
        QCOMPARE(view.selectedIndex(), index);
        QCOMPARE(f.script->calls, (ran.isEmpty() ? Runs() : Runs{{ran, QStringLiteral("text")}}));
        QCOMPARE(closeSpy.size(), closes);
        QVERIFY(f.waitForPastes(ran.isEmpty() ? 0 : 1));
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

    void badgeOnlyForANonEmptyShortcut()
    {
        auto rowSize = [](std::optional<QString> shortcut) {
            return OverlayCommandRow(overlayCommand(QStringLiteral("Name"), true, shortcut), false, QFont()).sizeHint();
        };
        QCOMPARE(rowSize(QString()), rowSize(std::nullopt));
        QVERIFY(rowSize(QStringLiteral("⌘⇧G")).width() > rowSize(std::nullopt).width() + OverlayCommandRow::badgeGap);
    }
};

QTEST_MAIN(TestOverlayView)
#include "test_overlay_view.moc"
