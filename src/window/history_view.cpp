#include "history_view.h"

#include "app_state.h"
#include "history_detail_sheet.h"
#include "history_filter_proxy.h"
#include "history_list_model.h"
#include "history_row.h"
#include "page_style.h"
#include "rounded_panel.h"
#include "symbol_icon.h"
#include "symbol_label.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using PageStyle::Text;

HistoryView::HistoryView(AppState& appState, QWidget* parent)
    : QWidget(parent),
      m_appState(appState),
      m_model(new HistoryListModel(appState, this)),
      m_proxy(new HistoryFilterProxy(this)),
      m_clearAll(new QPushButton(SymbolIcon::icon(QStringLiteral("trash"), PageStyle::red()), tr("Clear All"), this)),
      m_search(new QLineEdit(this)),
      m_clearSearch(new QToolButton(this)),
      m_stack(new QStackedWidget(this)),
      m_list(new QListView(this)),
      m_clock(new QTimer(this))
{
    setObjectName(QStringLiteral("historyView"));
    m_proxy->setSourceModel(m_model);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 16, 20, 16);
    header->addWidget(PageStyle::label(tr("History"), Text::title2));
    header->addStretch();
    m_clearAll->setObjectName(QStringLiteral("clearAllButton"));
    PageStyle::setTextColor(m_clearAll, PageStyle::red());
    connect(m_clearAll, &QPushButton::clicked, &m_appState, &AppState::clearHistory);
    header->addWidget(m_clearAll);
    layout->addLayout(header);
    layout->addWidget(PageStyle::divider(this));

    auto* searchBar = new RoundedPanel(this);
    auto* searchRow = new QHBoxLayout(searchBar);
    searchRow->setContentsMargins(8, 8, 8, 8);
    searchRow->setSpacing(6);
    searchRow->addWidget(new SymbolLabel(QStringLiteral("magnifyingglass"), 16, QPalette::PlaceholderText, searchBar));
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(tr("Search history..."));
    m_search->setFrame(false);
    PageStyle::setTransparentBase(m_search);
    m_search->setFont(PageStyle::font(Text::body));
    searchRow->addWidget(m_search, 1);
    m_clearSearch->setObjectName(QStringLiteral("clearSearchButton"));
    m_clearSearch->setIcon(SymbolIcon::icon(QStringLiteral("xmark.circle.fill"), QPalette::PlaceholderText));
    m_clearSearch->setAutoRaise(true);
    m_clearSearch->setCursor(Qt::PointingHandCursor);
    m_clearSearch->hide();
    connect(m_clearSearch, &QToolButton::clicked, m_search, &QLineEdit::clear);
    searchRow->addWidget(m_clearSearch);
    auto* searchArea = new QVBoxLayout;
    searchArea->setContentsMargins(20, 8, 20, 8);
    searchArea->addWidget(searchBar);
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

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_proxy->setSearchText(text);
        m_clearSearch->setVisible(!text.isEmpty());
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
    layout->addWidget(new SymbolLabel(symbol, 48, QPalette::PlaceholderText, page), 0, Qt::AlignHCenter);
    layout->addWidget(PageStyle::label(title, Text::title3, QFont::Medium, page), 0, Qt::AlignHCenter);
    layout->addWidget(PageStyle::secondaryLabel(message, Text::body, page), 0, Qt::AlignHCenter);
    layout->addStretch();
    return page;
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
