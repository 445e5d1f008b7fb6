#include "history_view.h"

#include "app_state.h"
#include "history_detail_sheet.h"
#include "history_filter_proxy.h"
#include "history_list_model.h"
#include "history_row.h"
#include "page_style.h"
#include "search_field.h"
#include "undo_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

using PageStyle::TextStyle;
using PageStyle::Tint;

HistoryView::HistoryView(AppState& appState, QWidget* parent)
    : QWidget(parent),
      m_appState(appState),
      m_model(new HistoryListModel(appState, this)),
      m_proxy(new HistoryFilterProxy(this)),
      m_clearAll(new QPushButton(PageStyle::symbolIcon(QStringLiteral("trash"), Tint::red), tr("Clear All"), this)),
      m_search(new SearchField(tr("Search history..."), this)),
      m_stack(new QStackedWidget(this)),
      m_list(new QListView(this)),
      m_clock(new QTimer(this)),
      m_undo(new UndoBar(this))
{
    setObjectName(QStringLiteral("historyView"));
    m_proxy->setSourceModel(m_model);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 16, 20, 16);
    header->addWidget(PageStyle::label(tr("History"), TextStyle::title2, QFont::Bold));
    header->addStretch();
    m_clearAll->setObjectName(QStringLiteral("clearAllButton"));
    PageStyle::setTextTint(m_clearAll, Tint::red);
    connect(m_clearAll, &QPushButton::clicked, this, &HistoryView::clearAll);
    header->addWidget(m_clearAll);
    layout->addLayout(header);
    layout->addWidget(PageStyle::divider(this));

    auto* searchArea = new QVBoxLayout;
    searchArea->setContentsMargins(20, 8, 20, 8);
    searchArea->addWidget(m_search);
    layout->addLayout(searchArea);

    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setModel(m_proxy);
    m_list->setItemDelegate(new HistoryRow(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setMouseTracking(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->viewport()->setAutoFillBackground(false);
    PageStyle::makeThin(m_list->verticalScrollBar());
    connect(m_list, &QListView::clicked, this, &HistoryView::openDetail);
    connect(m_list, &QListView::activated, this, &HistoryView::openDetail);
    auto* listPage = new QWidget(this);
    auto* listLayout = new QVBoxLayout(listPage);
    listLayout->setContentsMargins(12, 4, 12, 12);
    listLayout->addWidget(m_list);

    m_stack->addWidget(emptyState(QStringLiteral("clock"), tr("No History Yet"),
                                  tr("Your command history will appear here")));
    m_stack->addWidget(emptyState(QStringLiteral("magnifyingglass"), tr("No Results"),
                                  tr("Try a different search term")));
    m_stack->addWidget(listPage);
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_undo);

    connect(m_search, &SearchField::textChanged, this, [this](const QString& text) {
        m_proxy->setSearchText(text);
        updateContent();
    });
    connect(&m_appState, &AppState::historyChanged, this, &HistoryView::updateContent);
    m_clock->setInterval(30'000);
    connect(m_clock, &QTimer::timeout, m_list->viewport(), qOverload<>(&QWidget::update));
    updateContent();
}

QWidget* HistoryView::emptyState(const QString& symbol, const QString& title, const QString& message)
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(16);
    layout->addStretch();
    layout->addWidget(new SymbolLabel(symbol, Tint::secondary, 48, {60, 60}), 0, Qt::AlignHCenter);
    layout->addWidget(PageStyle::label(title, TextStyle::title3, QFont::Medium, false, page), 0, Qt::AlignHCenter);
    layout->addWidget(PageStyle::label(message, TextStyle::body, QFont::Normal, true, page), 0, Qt::AlignHCenter);
    layout->addStretch();
    return page;
}

void HistoryView::clearAll()
{
    const QList<HistoryItem> cleared = m_appState.history();
    m_appState.clearHistory();
    m_undo->offer(tr("History cleared"), [this, cleared] { m_appState.restoreHistory(cleared); });
}

HistoryView::Content HistoryView::content() const { return Content(m_stack->currentIndex()); }

void HistoryView::updateContent()
{
    const bool empty = m_appState.history().isEmpty();
    m_clearAll->setVisible(!empty);
    const Content content = empty ? Content::empty
                            : m_proxy->rowCount() == 0 ? Content::noResults
                                                       : Content::list;
    m_stack->setCurrentIndex(int(content));
}

void HistoryView::openDetail(const QModelIndex& proxyIndex)
{
    // A click can also count as an activation; one entry is open at a time.
    const int row = m_proxy->mapToSource(proxyIndex).row();
    if (m_openSheet || row < 0 || row >= m_appState.history().size())
        return;
    m_openSheet = new HistoryDetailSheet(m_appState.history().at(row), this);
    m_openSheet->setAttribute(Qt::WA_DeleteOnClose);
    m_openSheet->open();
}

void HistoryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_clock->start();
    m_list->viewport()->update();
}

void HistoryView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_clock->stop();
}
