#include "command_library_view.h"

#include "app_state.h"
#include "category_pill.h"
#include "command_filter_proxy.h"
#include "command_list_model.h"
#include "library_command_row.h"
#include "page_style.h"
#include "search_field.h"

#include <QHBoxLayout>
#include <QListView>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {
// Turns the wheel over the category pills into sideways scrolling: the row has no height to
// scroll, and most mice have no sideways wheel.
class SidewaysWheel : public QObject {
public:
    explicit SidewaysWheel(QScrollArea* area) : QObject(area), m_bar(area->horizontalScrollBar())
    {
        area->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint pixels = wheel->pixelDelta();
        const QPoint angle = wheel->angleDelta();
        // Three steps a notch, as a vertical list scrolls.
        const int distance = !pixels.isNull() ? (pixels.y() ? pixels.y() : pixels.x())
                                              : (angle.y() ? angle.y() : angle.x()) * 3 * m_bar->singleStep() / 120;
        m_bar->setValue(m_bar->value() - distance);
        return true;
    }

private:
    QScrollBar* m_bar;
};
} // namespace

CommandLibraryView::CommandLibraryView(AppState& appState, QWidget* parent)
    : QDialog(parent), m_appState(appState), m_filter(new CommandFilterProxy(this)), m_list(new QListView(this))
{
    setObjectName(QStringLiteral("commandLibraryView"));
    QVBoxLayout* layout = PageStyle::setUpSheet(this, QStringLiteral("Command Library"), {600, 500});
    layout->setContentsMargins(0, 16, 0, 0);
    layout->setSpacing(12);

    QHBoxLayout* header = PageStyle::sheetHeader(this);
    header->setContentsMargins(20, 0, 16, 0);
    layout->addLayout(header);

    auto* search = new SearchField(QStringLiteral("Search library..."), this);
    connect(search, &SearchField::textChanged, m_filter, &CommandFilterProxy::setSearchText);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(20, 0, 20, 0);
    searchRow->addWidget(search);
    layout->addLayout(searchRow);

    auto* pills = new QWidget;
    auto* pillRow = new QHBoxLayout(pills);
    pillRow->setContentsMargins(20, 0, 20, 0);
    pillRow->setSpacing(8);
    auto addPill = [&](const QString& title, const QString& icon, std::optional<CommandCategory> category) {
        auto* pill = new CategoryPill(title, icon, pills);
        pill->setObjectName(QStringLiteral("pill") + title);
        connect(pill, &CategoryPill::clicked, this, [this, category] { setSelectedCategory(category); });
        pillRow->addWidget(pill);
        m_pills << pill;
    };
    addPill(QStringLiteral("All"), QStringLiteral("square.grid.2x2"), std::nullopt);
    for (CommandCategory category : allCommandCategories)
        addPill(rawValue(category), icon(category), category);
    pillRow->addStretch();
    auto* pillScroll = new QScrollArea(this);
    pillScroll->setWidget(pills);
    pillScroll->setWidgetResizable(true);
    pillScroll->setFrameShape(QFrame::NoFrame);
    pillScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pillScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A thin bar under the pills rather than the style's full one.
    PageStyle::makeThin(pillScroll->horizontalScrollBar(), 20);
    new SidewaysWheel(pillScroll);
    pillScroll->setFixedHeight(pills->sizeHint().height() + 8);
    pillScroll->viewport()->setAutoFillBackground(false);
    pills->setAutoFillBackground(false);
    layout->addWidget(pillScroll);

    auto* source = new CommandListModel(m_appState, CommandListModel::Source::library, this);
    m_filter->setSourceModel(source);
    auto* row = new LibraryCommandRow(this);
    connect(row, &LibraryCommandRow::addRequested, &m_appState, &AppState::addLibraryCommand);
    m_list->setObjectName(QStringLiteral("libraryList"));
    m_list->setModel(m_filter);
    m_list->setItemDelegate(row);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setUniformItemSizes(true);
    m_list->viewport()->setAutoFillBackground(false);
    layout->addWidget(m_list, 1);
    // Rows that come into view (filter, reset) get their add button.
    connect(m_filter, &QAbstractItemModel::modelReset, this, &CommandLibraryView::openRowEditors);
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, &CommandLibraryView::openRowEditors);
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, &CommandLibraryView::openRowEditors);
    openRowEditors();
    setSelectedCategory(std::nullopt);
}

std::optional<CommandCategory> CommandLibraryView::selectedCategory() const { return m_filter->category(); }

void CommandLibraryView::setSelectedCategory(std::optional<CommandCategory> category)
{
    m_filter->setCategory(category);
    for (int i = 0; i < m_pills.size(); ++i)
        m_pills[i]->setSelected(category ? i == int(*category) + 1 : i == 0);
}

void CommandLibraryView::openRowEditors()
{
    for (int row = 0; row < m_filter->rowCount(); ++row)
        m_list->openPersistentEditor(m_filter->index(row, 0));
}
