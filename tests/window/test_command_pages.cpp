#include "command_edit_sheet.h"
#include "command_library_view.h"
#include "commands_view.h"
#include "hotkey_recorder_button.h"
#include "search_field.h"
#include "toggle_switch.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

namespace {

QWidget* rowControls(QListView* list, int row) { return list->indexWidget(list->model()->index(row, 0)); }

// X11 key codes (evdev + 8) of the keys the recorder cases press.
enum X11Key { xA = 38, xT = 28, xF1 = 67, xEscape = 9 };

void press(QObject* target, int qtKey, Qt::KeyboardModifiers mods, quint32 x11Code)
{
    // Only keys below the private range stand for a character (F1 and the like do not).
    const QString text = qtKey < 0x10000 ? QString(QChar(qtKey).toLower()) : QString();
    QKeyEvent event(QEvent::KeyPress, qtKey, mods, x11Code, 0, 0, text);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

class TestCommandPages : public QObject {
    Q_OBJECT
private slots:
    void searchSwitchDeleteAndReset()
    {
        WindowFixture f;
        CommandsView view(*f.state);
        view.resize(700, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QAbstractItemModelTester tester(view.listView()->model());
        const int controlsAt = rowControls(view.listView(), 0)->x();
        const QList<Command>& d = defaultCommands();
        const std::pair<QString, QStringList> searches[] = {
            {"GRAMMAR", {d[0].name}}, {"formal tone", {d[1].name}}, // capitals find the name; the prompt alone
            {"translat", {d[1].name, d[5].name, d[6].name}}, {"  grammar", {}}}; // name or prompt, stored order; no trimming
        for (const auto& [search, shown] : searches) {
            QTest::keyClicks(view.searchField()->lineEdit(), search);
            QCOMPARE(names(view.listView()->model()), shown);
            QVERIFY(!view.listView()->dragEnabled());
            QTest::mouseClick(view.findChild<QToolButton*>("clearSearchButton"), Qt::LeftButton);
            QCOMPARE(names(view.listView()->model()), names(defaultCommands()));
            QVERIFY(view.listView()->dragEnabled());
            QCOMPARE(rowControls(view.listView(), 0)->x(), controlsAt); // no jump after a search
        }

        // Second row off, third row deleted at once: both saved.
        QTest::mouseClick(rowControls(view.listView(), 1)->findChild<ToggleSwitch*>("enabledSwitch"), Qt::LeftButton);
        QVERIFY(!f.stored()[1].isEnabled);
        f.state->setCommandEnabled(f.state->commands()[0], false); // changed elsewhere: the row follows
        QVERIFY(!rowControls(view.listView(), 0)->findChild<ToggleSwitch*>("enabledSwitch")->isChecked());
        QTest::mouseClick(rowControls(view.listView(), 2)->findChild<QToolButton*>("deleteButton"), Qt::LeftButton);
        QCOMPARE(f.stored().size(), 6);
        QVERIFY(!names(f.stored()).contains(defaultCommands()[2].name));
        QTRY_VERIFY(rowControls(view.listView(), 5)); // the rows got their controls again

        // Reset replaces user-made commands too, without asking.
        f.state->addCommand(makeCommand("Mine"));
        view.findChild<QAction*>("resetAction")->trigger();
        QCOMPARE(f.stored(), defaultCommands());
    }

    void dragReorderSavesTheNewOrder()
    {
        WindowFixture f;
        CommandsView view(*f.state);
        view.show();
        QAbstractItemModel* model = view.listView()->model();
        QAbstractItemModelTester tester(model);
        view.listView()->setCurrentIndex(model->index(0, 0)); // a drag starts with a press on its row
        std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(0, 0)}));
        QVERIFY(model->canDropMimeData(dragged.get(), Qt::MoveAction, 3, 0, {}));
        QVERIFY(model->dropMimeData(dragged.get(), Qt::MoveAction, 3, 0, {}));
        const QList<Command>& d = defaultCommands();
        const QStringList expected{d[1].name, d[2].name, d[0].name, d[3].name, d[4].name, d[5].name, d[6].name};
        QCOMPARE(names(f.stored()), expected);
        QCOMPARE(names(model), expected);
        QCOMPARE(view.listView()->currentIndex().data().toString(), d[0].name); // the highlight went along
    }

    void libraryPillsScrollAndTheCheckMarkStaysFlat()
    {
        WindowFixture f;
        CommandLibraryView library(*f.state);
        library.show();
        QVERIFY(QTest::qWaitForWindowExposed(&library));
        QScrollArea* pills = library.findChild<QScrollArea*>();
        QWheelEvent wheel({5, 5}, pills->mapToGlobal(QPointF(5, 5)), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(pills->viewport(), &wheel);
        QVERIFY(pills->horizontalScrollBar()->value() > 0); // towards "Creative" and "Education"

        // Under the pointer the plus button lights up; the check mark does not.
        const auto hoverChanges = [&library](QWidget* button) {
            const QImage before = button->grab().toImage();
            QTest::mouseMove(button);
            const bool changed = button->grab().toImage() != before;
            QTest::mouseMove(&library, {2, 2});
            return changed;
        };
        const auto inView = [&library](const char* name) {
            const QList<QToolButton*> buttons = library.findChildren<QToolButton*>(name);
            return *std::find_if(buttons.cbegin(), buttons.cend(), [](QWidget* b) { return !b->visibleRegion().isEmpty(); });
        };
        QVERIFY(hoverChanges(inView("addButton")));
        QVERIFY(!hoverChanges(inView("addedMark")));
    }

    void libraryFiltersAndAddsByName()
    {
        WindowFixture f;
        CommandLibraryView library(*f.state);
        library.show();
        QAbstractItemModel* model = library.listView()->model();
        QAbstractItemModelTester tester(model);
        auto marks = [&](const char* name) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // editors of filtered-out rows
            return int(library.findChildren<QToolButton*>(name).size());
        };
        QCOMPARE(model->rowCount(), 45);
        QCOMPARE(marks("addedMark"), 7); // the seven default names
        QCOMPARE(marks("addButton"), 38);

        QTest::mouseClick(library.findChild<QWidget*>("pillCoding"), Qt::LeftButton);
        QTest::mouseClick(library.findChild<QWidget*>("pillCoding"), Qt::LeftButton); // stays selected
        QTest::keyClicks(library.findChild<QLineEdit*>("searchEdit"), "code");
        QCOMPARE(names(model), QStringList({"Explain Code", "Add Comments", "Fix Bug", "Optimize Code",
                                            "Convert to TypeScript", "Write Unit Tests"}));
        QTest::mouseClick(library.findChild<QWidget*>("pillAll"), Qt::LeftButton);
        QVERIFY(!library.selectedCategory());

        // Adding copies the entry to the end and turns its row to the check mark; the sheet stays open.
        library.findChild<QLineEdit*>("searchEdit")->setText("Fix Bug");
        QTest::mouseClick(qobject_cast<QToolButton*>(library.listView()->indexWidget(model->index(0, 0))),
                          Qt::LeftButton);
        QCOMPARE(f.stored().last().name, QStringLiteral("Fix Bug"));
        QCOMPARE(library.listView()->indexWidget(model->index(0, 0))->objectName(), QStringLiteral("addedMark"));
        QVERIFY(library.isVisible());

        // Deleting a command of the same name turns its row back to the plus button.
        library.findChild<QLineEdit*>("searchEdit")->clear();
        f.state->deleteCommand(f.state->commands()[2]);
        QCOMPARE(marks("addedMark"), 7);
        QCOMPARE(marks("addButton"), 38);
    }

    void createAndEdit()
    {
        WindowFixture f;
        {
            CommandEditSheet sheet(*f.state, std::nullopt);
            sheet.show();
            sheet.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&sheet));
            auto* create = sheet.findChild<QPushButton*>("saveButton");
            QCOMPARE(create->text(), QStringLiteral("Create"));
            QCOMPARE(sheet.recorder()->labelText(), QStringLiteral("Click to record"));
            QVERIFY(!sheet.findChild<QToolButton*>("clearShortcutButton")->isVisible());
            // The icon picker names symbols as people would, never "wand.and.stars".
            auto* icons = sheet.findChild<QComboBox*>("iconPicker");
            QCOMPARE(icons->currentText(), QStringLiteral("Magic Wand"));
            for (int i = 0; i < icons->count(); ++i)
                QVERIFY2(!icons->itemText(i).contains('.'), qPrintable(icons->itemText(i)));
            QCOMPARE(sheet.findChild<QLineEdit*>("nameEdit")->maxLength(), int(Command::maxNameLength));
            QTest::keyClicks(sheet.findChild<QLineEdit*>("nameEdit"), "  ");
            QVERIFY(!create->isEnabled()); // no prompt yet
            QTest::keyClicks(sheet.findChild<QPlainTextEdit*>("promptEdit"), "Say it twice");
            QVERIFY(create->isEnabled()); // a name of spaces counts
            QTest::keySequence(&sheet, QKeySequence(Qt::CTRL | Qt::Key_Return));
            QTRY_COMPARE(f.stored().size(), 8); // a shortcut clicks the button after a moment
            QVERIFY(!sheet.isVisible());
        }
        const Command created = f.stored().last();
        QVERIFY(created.name == "  " && created.prompt == "Say it twice" && created.icon == "wand.and.stars");
        QVERIFY(created.isEnabled && !created.shortcut && created.createdAt == created.updatedAt);

        const Command original = f.stored().first();
        CommandEditSheet sheet(*f.state, original);
        sheet.show();
        auto* save = sheet.findChild<QPushButton*>("saveButton");
        QCOMPARE(save->text(), QStringLiteral("Save"));
        QCOMPARE(sheet.recorder()->labelText(), QStringLiteral("Super+Shift+G"));
        sheet.findChild<QPlainTextEdit*>("promptEdit")->clear();
        QVERIFY(!save->isEnabled());
        QTest::keyClicks(sheet.findChild<QPlainTextEdit*>("promptEdit"), "New prompt");
        QTest::mouseClick(save, Qt::LeftButton);
        const Command edited = f.stored().first();
        QVERIFY(edited.id == original.id && edited.createdAt == original.createdAt);
        QVERIFY(edited.updatedAt > original.updatedAt && edited.prompt == "New prompt");
        QCOMPARE(edited.shortcutKeyCode, original.shortcutKeyCode);

        // An icon from the library that is not among the options survives a save; the clear
        // button removes all three shortcut fields.
        Command fromLibrary = commandLibrary()[19]; // "Fix Bug", a ladybug
        f.state->addLibraryCommand(fromLibrary);
        CommandEditSheet again(*f.state, f.state->commands().last());
        again.show();
        QTest::mouseClick(again.findChild<QToolButton*>("clearShortcutButton"), Qt::LeftButton);
        again.save();
        QCOMPARE(f.stored().last().icon, QStringLiteral("ladybug"));
        CommandEditSheet cleared(*f.state, f.stored().first());
        cleared.show();
        QTest::mouseClick(cleared.findChild<QToolButton*>("clearShortcutButton"), Qt::LeftButton);
        QVERIFY(!cleared.findChild<QToolButton*>("clearShortcutButton")->isVisible());
        cleared.save();
        QVERIFY(!f.stored().first().shortcut && !f.stored().first().shortcutKeyCode && !f.stored().first().shortcutModifiers);
    }

    void recorder()
    {
        const int shiftSuper = int(Qt::ShiftModifier | Qt::MetaModifier), ctrlAlt = int(Qt::ControlModifier | Qt::AltModifier);
        // keys: Qt key, Qt modifiers, X11 key code, ...; the sheet's command was recorded as ⌘⇧G.
        const struct { QList<int> keys; bool recording; QString shortcut; uint16_t keyCode; uint64_t modifiers; QString label; } cases[] = {
            {{Qt::Key_A, 0, xA}, true, "⌘⇧G", 5, 0x120000, "Press keys..."}, // no modifier: still recording
            {{Qt::Key_A, 0, xA, Qt::Key_T, shiftSuper, xT}, false, "⇧⌘T", 17, 0x120000, "Super+Shift+T"},
            {{Qt::Key_F1, ctrlAlt, xF1}, false, "⌃⌥F1", 122, 0xC0000, "Ctrl+Alt+F1"},
            {{Qt::Key_Escape, 0, xEscape}, false, "⌘⇧G", 5, 0x120000, "Super+Shift+G"}, // Escape keeps the old one
            {{Qt::Key_CapsLock, 0, 66, Qt::Key_T, 0, xT}, true, "⌘⇧G", 5, 0x120000, "Press keys..."}, // caps lock is no modifier
        };
        for (const auto& c : cases) {
            WindowFixture f;
            CommandEditSheet sheet(*f.state, f.state->commands().first());
            sheet.show();
            auto* name = sheet.findChild<QLineEdit*>("nameEdit");
            QTest::mouseClick(sheet.recorder(), Qt::LeftButton);
            QVERIFY(sheet.recorder()->isRecording());
            for (int i = 0; i + 2 < c.keys.size(); i += 3) // sent to the name field: the recorder takes them first
                press(name, c.keys[i], Qt::KeyboardModifiers(c.keys[i + 1]), quint32(c.keys[i + 2]));
            QCOMPARE(name->text(), f.state->commands().first().name);
            QVERIFY(sheet.isVisible()); // Escape did not close the sheet either
            QCOMPARE(sheet.recorder()->isRecording(), c.recording);
            QCOMPARE(sheet.shortcut(), c.shortcut);
            QCOMPARE(sheet.shortcutKeyCode(), std::optional(c.keyCode));
            QCOMPARE(sheet.shortcutModifiers(), std::optional(c.modifiers));
            QCOMPARE(sheet.recorder()->labelText(), c.label);
            sheet.close();
            QVERIFY(!sheet.recorder()->isRecording()); // stops with the sheet
        }
    }
};

QTEST_MAIN(TestCommandPages)
#include "test_command_pages.moc"
