#include "accessibility_permission_view.h"
#include "category_pill.h"
#include "command_edit_sheet.h"
#include "command_library_view.h"
#include "content_view.h"
#include "detail_view.h"
#include "home_view.h"
#include "page_style.h"
#include "sidebar.h"
#include "symbol_icon.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRawFont>

namespace {
QString pageName(ContentView& window)
{
    QWidget* page = window.detailView() ? window.detailView()->page() : nullptr;
    return page ? page->objectName() : QString();
}

QStringList labelTexts(QWidget* root, const char* objectName)
{
    QStringList out;
    for (QLabel* l : root->findChildren<QLabel*>(objectName))
        out << l->text();
    return out;
}

// Every symbol a widget tree shows: icons of buttons, pickers and lists, painted symbols and pills.
void collectSymbols(QWidget* root, QStringList& names)
{
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        if (!b->icon().isNull())
            names << b->icon().name();
    for (QComboBox* box : root->findChildren<QComboBox*>())
        for (int i = 0; i < box->count(); ++i)
            names << box->itemIcon(i).name();
    for (QListWidget* list : root->findChildren<QListWidget*>())
        for (int i = 0; i < list->count(); ++i)
            if (!list->item(i)->icon().isNull())
                names << list->item(i)->icon().name();
    for (SymbolLabel* s : root->findChildren<SymbolLabel*>())
        names << s->symbol();
    for (CategoryPill* p : root->findChildren<CategoryPill*>())
        names << p->icon();
}
} // namespace

class TestWindowShell : public QObject {
    Q_OBJECT
private slots:
    void sidebarFollowsTheStoreAndTheWindowKeepsItsTab()
    {
        WindowFixture f;
        ContentView window(*f.state);
        window.show();
        QCOMPARE(window.sidebar()->selectedTab(), std::optional(MainTab::home));
        QCOMPARE(pageName(window), QStringLiteral("homeView"));

        f.state->setCurrentTab(MainTab::history); // from outside the window
        QCOMPARE(window.sidebar()->currentItem()->text(), QStringLiteral("History"));
        QCOMPARE(pageName(window), QStringLiteral("historyView"));

        window.sidebar()->setCurrentRow(window.sidebar()->count() - 1); // the settings section
        QCOMPARE(f.state->currentTab(), MainTab::settings);
        QCOMPARE(pageName(window), QStringLiteral("settingsView"));

        f.state->setCurrentTab(MainTab::home);
        QTest::mouseClick(window.findChild<QAbstractButton*>("allCommandsButton"), Qt::LeftButton);
        QCOMPARE(f.state->currentTab(), MainTab::commands);
        QCOMPARE(window.sidebar()->currentItem()->text(), QStringLiteral("Commands"));
        QCOMPARE(pageName(window), QStringLiteral("commandsView"));

        window.findChild<QLineEdit*>("searchEdit")->setText("grammar");
        window.close();
        window.show();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the closed page
        QCOMPARE(pageName(window), QStringLiteral("commandsView"));
        QVERIFY(window.findChild<QLineEdit*>("searchEdit")->text().isEmpty()); // the page starts afresh
        QCOMPARE(window.sidebar()->selectedTab(), std::optional(MainTab::commands));
    }

    void permissionScreenUntilTheCheckPasses()
    {
        WindowFixture f;
        bool trusted = false;
        int opened = 0;
        ContentView window(*f.state, {[&] { return trusted; }, [&] { ++opened; }});
        window.show();
        QVERIFY(!window.hasAccessibilityPermission());
        QVERIFY(window.permissionView()->isVisible());
        QVERIFY(!window.sidebar());
        QTest::mouseClick(window.findChild<QAbstractButton*>("openSettingsButton"), Qt::LeftButton);
        QCOMPARE(opened, 1);

        trusted = true; // granted while shown: the tabs come within a check interval
        QTRY_VERIFY_WITH_TIMEOUT(window.sidebar() && window.sidebar()->isVisible(),
                                 2 * AccessibilityPermissionView::checkIntervalMs);
        QVERIFY(!window.permissionView()->isVisible());
        QVERIFY(AccessibilityPermissionView::reason("wayland").contains("\"X11\""));
        QVERIFY(AccessibilityPermissionView::reason("wayland").contains("\"Use it on Wayland\""));
        QVERIFY(AccessibilityPermissionView::reason("xcb").contains("XTEST"));
    }

    void homeCountsAndQuickActions()
    {
        QList<Command> commands;
        for (int i = 0; i < 10; ++i)
            commands << makeCommand(QStringLiteral("C%1").arg(i), i == 3 || i == 7);
        WindowFixture f(commands);
        HistoryItem item;
        item.id = QUuid::createUuid();
        f.state->addHistoryItem(item);
        HomeView home(*f.state);
        home.show();
        QCOMPARE(labelTexts(&home, "commandCount"), QStringList{"10"});
        QCOMPARE(labelTexts(&home, "historyCount"), QStringList{"1"});
        QCOMPARE(labelTexts(&home, "quickActionName"), QStringList({"C3", "C7"}));
        QCOMPARE(labelTexts(&home, "keyCap"), QStringList({"Super", "Shift", "Space"}));

        f.state->clearHistory();
        QCOMPARE(labelTexts(&home, "historyCount"), QStringList{"0"});
        for (int i = 0; i < 6; ++i)
            f.state->setCommandEnabled(f.state->commands()[i], true);
        QTRY_COMPARE(labelTexts(&home, "quickActionName"), QStringList({"C0", "C1", "C2", "C3"}));
    }

    void quickActionNamesEndInAnEllipsis()
    {
        const QString name = "Rewrite as a formal letter to the board of directors, keeping every figure";
        WindowFixture f(QList<Command>{makeCommand(name), makeCommand("Short")});
        HomeView home(*f.state);
        home.resize(800, 600);
        home.show();
        auto* label = home.findChild<QLabel*>("quickActionName");
        QTRY_VERIFY(label->text().endsWith(QChar(0x2026)));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
        QCOMPARE(label->toolTip(), name);
    }

    void everySymbolInUseHasAGlyph()
    {
        WindowFixture f;
        QStringList names{QStringLiteral("keyboard"), QStringLiteral("hand.raised")}; // tray, permission
        for (const QList<Command>& list : {defaultCommands(), commandLibrary()})
            for (const Command& c : list)
                names << c.icon;
        for (CommandCategory c : allCommandCategories)
            names << icon(c);
        for (AIProvider p : allAIProviders)
            names << icon(p);
        names << CommandEditSheet::iconOptions();

        ContentView window(*f.state);
        window.show();
        for (MainTab tab : allMainTabs) {
            f.state->setCurrentTab(tab);
            collectSymbols(&window, names);
        }
        CommandEditSheet sheet(*f.state, f.state->commands().first());
        CommandLibraryView library(*f.state);
        collectSymbols(&sheet, names);
        collectSymbols(&library, names);
        names.removeAll(QString());
        names.removeDuplicates();
        QVERIFY(names.size() >= 63); // a walk that found nothing would pass the loop below

        QVERIFY(SymbolIcon::ensureFontLoaded());
        const QRawFont raw = QRawFont::fromFont(SymbolIcon::font(24));
        for (const QString& name : std::as_const(names))
            QVERIFY2(SymbolIcon::isKnown(name) && raw.supportsCharacter(SymbolIcon::glyph(name)), qPrintable(name));
    }
};

QTEST_MAIN(TestWindowShell)
#include "test_window_shell.moc"
