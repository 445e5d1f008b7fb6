#include "history_detail_sheet.h"
#include "history_filter_proxy.h"
#include "history_row.h"
#include "history_view.h"
#include "window_fixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace {
HistoryItem entry(const QString& name, const QString& original, const QString& result,
                  std::optional<QString> error = {})
{
    HistoryItem item;
    item.id = QUuid::createUuid();
    item.commandId = QUuid::createUuid();
    item.commandName = name;
    item.originalText = original;
    item.resultText = result;
    item.timestamp = QDateTime::currentDateTimeUtc();
    item.success = !error;
    item.errorMessage = error;
    return item;
}

// A store holding the given history and the page over it.
struct Page {
    WindowFixture f;
    std::unique_ptr<HistoryView> view = std::make_unique<HistoryView>(*f.state);
    explicit Page(const QList<HistoryItem>& history) : f(std::nullopt, {{AppState::historyKey, JsonCodec::encodeHistoryDocument(history)}})
    {
        view->resize(700, 500);
        view->show();
    }
    QStringList shownNames() const { return names(view->findChild<QListView*>("historyList")->model()); }
    bool clearAllShown() const { return view->findChild<QPushButton*>("clearAllButton")->isVisible(); }
    void search(const QString& text) { view->findChild<QLineEdit*>("searchEdit")->setText(text); }
};

const QList<HistoryItem> kHistory{
    entry("Fix Grammar & Spelling", "teh cat sat", "The cat sat."),
    entry("Translate to English", "Hola mundo", "Hello world"),
    entry("Summarize", "a long report", "", QStringLiteral("quota exceeded for mundial plan")),
};
} // namespace

class TestHistoryView : public QObject {
    Q_OBJECT
private slots:
    void searchMatchesNamesAndTextsButNotErrors()
    {
        Page page(kHistory);
        QAbstractItemModelTester tester(page.view->filterModel());
        const std::pair<QString, QStringList> searches[] = {
            {"GRAMMAR", {"Fix Grammar & Spelling"}}, {"mundo", {"Translate to English"}}, // name; original text
            {"hello W", {"Translate to English"}}, {"quota", {}}, {"mund", {"Translate to English"}}, // result; error; both
            {"", {"Fix Grammar & Spelling", "Translate to English", "Summarize"}}};
        for (const auto& [search, shown] : searches) {
            page.search(search);
            QCOMPARE(page.shownNames(), shown);
            QCOMPARE(page.view->content(), shown.isEmpty() ? HistoryView::Content::noResults : HistoryView::Content::list);
            QVERIFY(page.clearAllShown()); // offered whenever there is history, matching or not
            QCOMPARE(page.view->findChild<QToolButton*>("clearSearchButton")->isVisible(), !search.isEmpty());
        }
    }

    void emptyHistoryAndClearAll()
    {
        Page empty({});
        empty.search("anything");
        QCOMPARE(empty.view->content(), HistoryView::Content::empty);
        QVERIFY(!empty.clearAllShown());

        Page page(kHistory);
        page.search("nothing like it");
        QTest::mouseClick(page.view->findChild<QPushButton*>("clearAllButton"), Qt::LeftButton);
        QVERIFY(page.f.state->history().isEmpty()); // no confirmation step
        QCOMPARE(page.f.defaults.values.value(AppState::historyKey), QByteArray("[]"));
        QCOMPARE(page.view->content(), HistoryView::Content::empty);
        QVERIFY(!page.clearAllShown());

        page.f.state->addHistoryItem(kHistory.first()); // a run finishing while the page is shown
        page.search("");
        QCOMPARE(page.shownNames(), QStringList{"Fix Grammar & Spelling"});
    }

    void detailSheetCopiesToTheClipboard()
    {
        const struct { int row; const char* button; QString copied; } cases[] = {
            {0, "copyOriginalButton", "teh cat sat"}, {0, "copyResultButton", "The cat sat."}, {1, "copyResultFooterButton", "Hello world"}};
        for (const auto& [row, button, copied] : cases) {
            Page page(kHistory);
            QApplication::clipboard()->setText("before");
            auto* list = page.view->findChild<QListView*>("historyList");
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(row, 0)).center());
            const QList<HistoryDetailSheet*> sheets = page.view->findChildren<HistoryDetailSheet*>();
            QCOMPARE(sheets.size(), 1);
            HistoryDetailSheet* sheet = sheets.first();
            QCOMPARE(sheet->item(), kHistory.at(row));
            QVERIFY(!sheet->findChild<QWidget*>("errorSection"));
            QTest::mouseClick(sheet->findChild<QAbstractButton*>(button), Qt::LeftButton);
            QCOMPARE(QApplication::clipboard()->text(), copied);
            QVERIFY(sheet->isVisible()); // copying leaves the sheet open
        }
        QVERIFY(HistoryDetailSheet(kHistory.at(2)).findChild<QWidget*>("errorSection")); // a failed run's
    }

    void relativeTime()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const std::pair<int, const char*> cases[] = {{42, "just now"}, {5 * 60 + 59, "5 min ago"}, {3 * 3600, "3 hr ago"},
            {30 * 3600, "yesterday"}, {4 * 86400, "4 days ago"}, {-30, "just now"}}; // the last: clock skew
        for (const auto& [secondsAgo, text] : cases)
            QCOMPARE(HistoryRow::relativeTime(now.addSecs(-secondsAgo), now), QString(text));
    }

    void fullHistoryOfLongTextsStaysFast()
    {
        const QString longText = QString("word ").repeated(20'000) + "\nsecond line";
        QList<HistoryItem> full;
        for (int i = 0; i < AppState::historyLimit; ++i)
            full << entry(QString("Command %1").arg(i), longText, longText);
        Page page(full);
        auto* list = page.view->findChild<QListView*>("historyList");
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 10; ++i) {
            page.search(i % 2 ? "Command" : "");
            list->viewport()->grab();
        }
        QCOMPARE(list->model()->rowCount(), AppState::historyLimit);
        // Ten searches and repaints of the whole list take tens of milliseconds; eliding the
        // whole texts instead of one line of them took over a second.
        QVERIFY2(timer.elapsed() < 600, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_MAIN(TestHistoryView)
#include "test_history_view.moc"
