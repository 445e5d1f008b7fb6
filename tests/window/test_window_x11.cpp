#include "ai_model_settings_sheet.h"
#include "command_library_view.h"
#include "commands_view.h"
#include "content_view.h"
#include "settings_view.h"
#include "window_fixture.h"
#include "x11_test_client.h"

#include <QAction>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>

namespace {
// What an X tool prints about a window (xprop -id, xwininfo -id), or about the root (id 0).
QString ask(const QString& tool, WId window, const QString& what = {})
{
    QProcess process;
    process.start(tool, QStringList{window ? "-id" : "-root"} + (window ? QStringList{QString::number(window)} : QStringList{})
                            + (what.isEmpty() ? QStringList{} : QStringList{what}));
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

WId activeWindow() { return ask("xprop", 0, "_NET_ACTIVE_WINDOW").section("# ", 1).trimmed().toULongLong(nullptr, 0); }

// Whether the sheet's centre is the window's, on the screen as the X server has them.
bool centredOn(WId sheet, WId window)
{
    const auto centre = [](WId id) {
        const QString info = ask("xwininfo", id);
        const auto number = [&info](const QString& label) {
            return QRegularExpression(label + ":\\s+(-?\\d+)").match(info).captured(1).toInt();
        };
        return QPoint(number("Absolute upper-left X") + number("Width") / 2,
                      number("Absolute upper-left Y") + number("Height") / 2);
    };
    return (centre(sheet) - centre(window)).manhattanLength() <= 2;
}
} // namespace

class TestWindowX11 : public QObject {
    Q_OBJECT
private slots:
    void bringForwardRestoresRaisesAndFocuses_data()
    {
        QTest::addColumn<bool>("minimised");
        QTest::addColumn<bool>("otherProgramActive");
        QTest::newRow("minimised") << true << false;
        QTest::newRow("minimised, another program active") << true << true;
        QTest::newRow("behind another program") << false << true;
    }
    void bringForwardRestoresRaisesAndFocuses()
    {
        QFETCH(bool, minimised);
        QFETCH(bool, otherProgramActive);
        WindowFixture f;
        ContentView window(*f.state);
        window.show();
        const WId id = window.winId();
        QTRY_COMPARE(activeWindow(), id);
        std::optional<YadEntry> other;
        if (otherProgramActive)
            QVERIFY(other.emplace("elsewhere").isReady());
        if (minimised) {
            QVERIFY(runTool("xdotool", {"windowminimize", "--sync", QString::number(id)}));
            QTRY_VERIFY(ask("xprop", id, "_NET_WM_STATE").contains("_NET_WM_STATE_HIDDEN"));
        }
        window.bringForward();
        QTRY_COMPARE(activeWindow(), id);
        QTRY_VERIFY(!ask("xprop", id, "_NET_WM_STATE").contains("_NET_WM_STATE_HIDDEN"));
    }

    // Sheets are dialogs of the main window: transient for it, modal, without a frame (so no
    // buttons to minimise or maximise and no second title), centred on it as it moves.
    void sheetsBelongToTheMainWindow()
    {
        WindowFixture f;
        f.state->setCurrentTab(MainTab::settings);
        ContentView window(*f.state);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QDialog* sheet = window.findChild<SettingsView*>()->openAISettings();
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        const QString props = ask("xprop", sheet->winId());
        QVERIFY(props.contains("WM_TRANSIENT_FOR(WINDOW): window id # 0x" + QString::number(window.winId(), 16)));
        QVERIFY(props.contains("_NET_WM_WINDOW_TYPE_DIALOG") && props.contains("_NET_WM_STATE_MODAL"));
        QTRY_VERIFY(ask("xprop", sheet->winId(), "_NET_FRAME_EXTENTS").contains("= 0, 0, 0, 0"));
        QTRY_VERIFY(centredOn(sheet->winId(), window.winId()));
        QVERIFY(runTool("xdotool", {"windowmove", "--sync", QString::number(window.winId()), "30", "40"}));
        QTRY_VERIFY(centredOn(sheet->winId(), window.winId()));
    }

    void destructiveActionsOfferUndo_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("byKey");
        for (const char* action : {"Delete", "Reset to Defaults", "Clear All"}) {
            QTest::addRow("%s, Undo button", action) << QString(action) << false;
            QTest::addRow("%s, Ctrl+Z", action) << QString(action) << true;
        }
    }
    void destructiveActionsOfferUndo()
    {
        QFETCH(QString, action);
        QFETCH(bool, byKey);
        WindowFixture f(QList<Command>{makeCommand("One"), makeCommand("Two", false), makeCommand("Three")});
        HistoryItem run;
        run.id = QUuid::createUuid();
        f.state->addHistoryItem(run);
        const bool history = action == "Clear All";
        f.state->setCurrentTab(history ? MainTab::history : MainTab::commands);
        ContentView window(*f.state);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QString key = QLatin1String(history ? AppState::historyKey : AppState::commandsKey);
        const QByteArray before = f.defaults.values.value(key);
        const QList<Command> commands = f.state->commands();

        if (action == "Delete") {
            QListView* list = window.findChild<CommandsView*>()->listView();
            QTest::mouseClick(list->indexWidget(list->model()->index(1, 0))->findChild<QToolButton*>("deleteButton"),
                              Qt::LeftButton);
        } else if (!history) {
            window.findChild<QAction*>("resetAction")->trigger();
        } else {
            QTest::mouseClick(window.findChild<QPushButton*>("clearAllButton"), Qt::LeftButton);
        }
        QVERIFY(f.defaults.values.value(key) != before); // at once, without a question
        auto* undo = window.findChild<QPushButton*>("undoButton");
        QVERIFY(undo && undo->isVisible());
        if (byKey)
            QVERIFY(runTool("xdotool", {"key", "ctrl+z"}));
        else
            QTest::mouseClick(undo, Qt::LeftButton);
        QTRY_COMPARE(f.defaults.values.value(key), before); // put back and saved
        QCOMPARE(f.state->commands(), commands);
        QCOMPARE(f.state->history(), QList<HistoryItem>{run});
        QVERIFY(!undo->isVisible());
    }
};

QTEST_MAIN(TestWindowX11)
#include "test_window_x11.moc"
