#pragma once

#include <QPointer>
#include <QWidget>

class AppState;
class HistoryDetailSheet;
class HistoryFilterProxy;
class HistoryListModel;
class QListView;
class QPushButton;
class QStackedWidget;
class QTimer;
class SearchField;
class UndoBar;

// The History page: the store's runs, searchable, each opening a detail sheet, and
// "Clear All". Search text and the open sheet start afresh with each page.
class HistoryView : public QWidget {
    Q_OBJECT
public:
    // The stack's pages, in order.
    enum class Content { empty, noResults, list };

    explicit HistoryView(AppState& appState, QWidget* parent = nullptr);

    Content content() const;
    HistoryFilterProxy* filterModel() const { return m_proxy; }
    // Empties the history at once and offers Undo.
    void clearAll();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* emptyState(const QString& symbol, const QString& title, const QString& message);
    void updateContent();
    void openDetail(const QModelIndex& proxyIndex);

    AppState& m_appState;
    HistoryListModel* m_model;
    HistoryFilterProxy* m_proxy;
    QPushButton* m_clearAll;
    SearchField* m_search;
    QStackedWidget* m_stack;
    QListView* m_list;
    // Keeps the "5 min ago" texts current while the page is on screen.
    QTimer* m_clock;
    UndoBar* m_undo;
    QPointer<HistoryDetailSheet> m_openSheet;
};
