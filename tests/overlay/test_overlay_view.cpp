#include "overlay_command_row.h"
#include "overlay_fixture.h"
#include "overlay_view.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

namespace {
QList<Command> commandsFrom(const QList<bool>& enabled)
{
    QList<Command> list;
    for (int i = 0; i < enabled.size(); ++i)
        list.append(overlayCommand(QString(QChar(u'A' + i)), enabled[i]));
    return list;
}

// Whether row i is drawn with the selection fill: sampled inside the row's padding,
// left of the icon tile, where only the row background is painted.
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
    void keyTable_data()
    {
        QTest::addColumn<QList<bool>>("enabled");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("ran"); // prompt of the command run, empty: none
        QTest::addColumn<int>("closes");

        const int down = Qt::Key_Down, up = Qt::Key_Up, ret = Qt::Key_Return, esc = Qt::Key_Escape;
        QTest::newRow("disabled rows are skipped") << QList<bool>{true, false, true}
                                                   << QList<int>{down, ret} << 1 << "prompt C" << 1;
        QTest::newRow("down stops on the last") << QList<bool>{true, true, true}
                                                << QList<int>{down, down, down} << 2 << "" << 0;
        QTest::newRow("up stops on the first")
            << QList<bool>{true, true, true} << QList<int>{down, down, down, up, up, up, up} << 0 << ""
            << 0;
        QTest::newRow("return on the first") << QList<bool>{true, true} << QList<int>{up, ret} << 0
                                             << "prompt A" << 1;
        QTest::newRow("empty list") << QList<bool>{} << QList<int>{down, down, up, ret} << 0 << "" << 0;
        QTest::newRow("all disabled") << QList<bool>{false, false} << QList<int>{down, ret} << 0 << ""
                                      << 0;
        QTest::newRow("escape closes") << QList<bool>{true, true} << QList<int>{down, esc} << 1 << ""
                                       << 1;
        QTest::newRow("escape closes an empty palette") << QList<bool>{} << QList<int>{esc} << 0 << ""
                                                        << 1;
    }

    void keyTable()
    {
        QFETCH(QList<bool>, enabled);
        QFETCH(QList<int>, keys);
        QFETCH(int, index);
        QFETCH(QString, ran);
        QFETCH(int, closes);

        OverlayFixture f(commandsFrom(enabled));
        f.state->setSelectedText(QStringLiteral("some text"));
        OverlayView view(*f.state);
        view.show();
        QSignalSpy closeSpy(&view, &OverlayView::closeRequested);
        for (int key : keys)
            QTest::keyClick(&view, Qt::Key(key));

        QCOMPARE(view.selectedIndex(), index);
        QCOMPARE(closeSpy.size(), closes);
        if (ran.isEmpty()) {
            QVERIFY(f.runs().isEmpty());
        } else {
            QCOMPARE(f.runs().size(), 1);
            QCOMPARE(f.runs().first(), std::make_pair(ran, QStringLiteral("some text")));
            QVERIFY(f.waitForPastes(1));
        }
    }

    void indexPastTheEndAfterTheListShrank()
    {
        OverlayFixture f(commandsFrom({true, true, true}));
        f.state->setSelectedText(QStringLiteral("t"));
        OverlayView view(*f.state);
        view.resize(view.sizeHint());
        view.show();
        QTest::keyClick(&view, Qt::Key_Down);
        QTest::keyClick(&view, Qt::Key_Down);
        QVERIFY(rowLooksSelected(view, 2));
        QVERIFY(!rowLooksSelected(view, 0));

        f.state->setCommandEnabled(f.state->commands().at(2), false);
        QCOMPARE(view.enabledCommands().size(), 2);
        QCOMPARE(view.selectedIndex(), 2);
        QVERIFY(!rowLooksSelected(view, 0));
        QVERIFY(!rowLooksSelected(view, 1));

        QSignalSpy closeSpy(&view, &OverlayView::closeRequested);
        QTest::keyClick(&view, Qt::Key_Return);
        QVERIFY(f.runs().isEmpty());
        QCOMPARE(closeSpy.size(), 0);

        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.selectedIndex(), 1);
        QVERIFY(rowLooksSelected(view, 1));
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(f.runs().size(), 1);
        QCOMPARE(f.runs().first().first, QStringLiteral("prompt B"));
        QVERIFY(f.waitForPastes(1));
    }

    void textIsReadBeforeTheCloseClearsIt()
    {
        OverlayFixture f(commandsFrom({true}));
        f.state->setSelectedText(QStringLiteral("selected words"));
        OverlayView view(*f.state);
        view.show();
        // The harshest close: the store is reset the moment the palette asks to close.
        connect(&view, &OverlayView::closeRequested, f.state.get(), &AppState::closeOverlay);
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(f.state->selectedText(), QString());
        QCOMPARE(f.runs().size(), 1);
        QCOMPARE(f.runs().first().second, QStringLiteral("selected words"));
        QVERIFY(f.waitForPastes(1));
        QCOMPARE(f.access.pasted, QStringList{QStringLiteral("answer")});
    }

    void otherKeysReachNothing()
    {
        OverlayFixture f(commandsFrom({true, true, true}));
        f.state->setSelectedText(QStringLiteral("t"));
        OverlayView view(*f.state);
        view.show();
        QTest::keyClick(&view, Qt::Key_Down);
        QSignalSpy closeSpy(&view, &OverlayView::closeRequested);

        const Qt::Key keys[] = {Qt::Key_A,    Qt::Key_1,        Qt::Key_Left,  Qt::Key_Right,
                                Qt::Key_Space, Qt::Key_Enter,   Qt::Key_Home,  Qt::Key_PageDown,
                                Qt::Key_F1,    Qt::Key_Backspace, Qt::Key_Delete};
        for (Qt::Key key : keys) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(&view, &press);
            QVERIFY2(!press.isAccepted(), qPrintable(QKeySequence(key).toString()));
        }
        QCOMPARE(view.selectedIndex(), 1);
        QCOMPARE(closeSpy.size(), 0);
        QVERIFY(f.runs().isEmpty());
        // Modifiers are not looked at: Shift+Down still moves.
        QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(view.selectedIndex(), 2);
    }

    void clicksRunTheClickedRow()
    {
        OverlayFixture f(commandsFrom({true, false, true, true}));
        f.state->setSelectedText(QStringLiteral("clicked text"));
        OverlayView view(*f.state);
        view.setTranslucent(true); // rows sit inside the shadow margin
        view.resize(view.sizeHint());
        view.show();
        QSignalSpy closeSpy(&view, &OverlayView::closeRequested);

        // Hovering does not move the selection.
        QTest::mouseMove(&view, view.rowRect(2).center());
        QCOMPARE(view.selectedIndex(), 0);

        // Outside every row, a press on one row released on another, and the right button:
        // none of these is a click on a row.
        QTest::mouseClick(&view, Qt::LeftButton, {}, view.paletteRect().topLeft() + QPoint(2, 2));
        QTest::mousePress(&view, Qt::LeftButton, {}, view.rowRect(0).center());
        QTest::mouseRelease(&view, Qt::LeftButton, {}, view.rowRect(1).center());
        QTest::mouseClick(&view, Qt::RightButton, {}, view.rowRect(1).center());
        QVERIFY(f.runs().isEmpty());
        QCOMPARE(closeSpy.size(), 0);

        // The last enabled row (D), whatever is selected.
        QTest::mouseClick(&view, Qt::LeftButton, {}, view.rowRect(2).center());
        QCOMPARE(closeSpy.size(), 1);
        QCOMPARE(f.runs().size(), 1);
        QCOMPARE(f.runs().first(), std::make_pair(QStringLiteral("prompt D"), QStringLiteral("clicked text")));
        QCOMPARE(view.selectedIndex(), 0);
        QVERIFY(f.waitForPastes(1));
    }

    void badgeOnlyForANonEmptyShortcut()
    {
        const QFont font = QApplication::font();
        const Command none = overlayCommand(QStringLiteral("Same Name"));
        const Command empty = overlayCommand(QStringLiteral("Same Name"), true, QString());
        const Command keyed = overlayCommand(QStringLiteral("Same Name"), true, QStringLiteral("⌘⇧G"));
        QVERIFY(!OverlayCommandRow::hasBadge(none));
        QVERIFY(!OverlayCommandRow::hasBadge(empty));
        QVERIFY(OverlayCommandRow::hasBadge(keyed));

        const QSize plain = OverlayCommandRow(none, false, font).sizeHint();
        QCOMPARE(OverlayCommandRow(empty, false, font).sizeHint(), plain);
        const QSize badged = OverlayCommandRow(keyed, false, font).sizeHint();
        QVERIFY(badged.width() > plain.width() + OverlayCommandRow::badgeGap + 2 * OverlayCommandRow::badgePaddingX);
        QCOMPARE(badged.height(), plain.height());
        // Tile plus vertical padding sets the height of a row.
        QCOMPARE(plain.height(), OverlayCommandRow::tileSize + 2 * OverlayCommandRow::paddingY);
    }

    void sizeFollowsTheEnabledRows()
    {
        OverlayFixture f(commandsFrom({}));
        OverlayView view(*f.state);
        const int pad = 2 * OverlayView::outerPadding;
        QCOMPARE(view.paletteSizeHint(), QSize(pad, pad));

        Command wide = overlayCommand(QStringLiteral("A much longer command name than the others"), false);
        f.state->addCommand(overlayCommand(QStringLiteral("Short")));
        f.state->addCommand(wide);
        const QSize one = view.paletteSizeHint();
        QCOMPARE(one.height(), pad + view.rowRect(0).height());

        f.state->setCommandEnabled(wide, true);
        const QSize two = view.paletteSizeHint();
        QVERIFY(two.width() > one.width());
        QCOMPARE(two.height(), pad + 2 * view.rowRect(0).height());

        // The shadow needs room around the palette only when it is drawn.
        QCOMPARE(view.sizeHint(), two);
        view.setTranslucent(true);
        const QMargins m = view.shadowMargins();
        QVERIFY(m.left() > 0 && m.top() > 0 && m.bottom() > m.top());
        QCOMPARE(view.sizeHint(), two.grownBy(m));
    }
};

QTEST_MAIN(TestOverlayView)
#include "test_overlay_view.moc"
