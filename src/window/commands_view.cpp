#include "commands_view.h"

#include "app_state.h"
#include "command_edit_sheet.h"
#include "command_filter_proxy.h"
#include "command_library_view.h"
#include "command_list_model.h"
#include "command_row.h"
#include "page_style.h"
#include "search_field.h"
#include "undo_bar.h"

#include <QHBoxLayout>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

CommandsView::CommandsView(AppState& appState, QWidget* parent)
    : QWidget(parent),
      m_appState(appState),
      m_model(new CommandListModel(appState, CommandListModel::Source::userCommands, this)),
      m_filter(new CommandFilterProxy(this)),
      m_search(new SearchField(QStringLiteral("Search commands..."), this)),
      m_list(new QListView(this)),
      m_undo(new UndoBar(this))
{
    setObjectName(QStringLiteral("commandsView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 16, 0, 0);
    layout->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 0, 20, 0);
    header->setSpacing(8);
    header->addWidget(PageStyle::label(QStringLiteral("Commands"), PageStyle::TextStyle::title2, QFont::Bold));
    header->addStretch();
    auto* library = new QPushButton(PageStyle::symbolIcon(QStringLiteral("square.grid.2x2"), PageStyle::Tint::primary),
                                    QStringLiteral("Library"), this);
    library->setObjectName(QStringLiteral("libraryButton"));
    auto* custom = new QPushButton(PageStyle::symbolIcon(QStringLiteral("plus"), PageStyle::Tint::white),
                                   QStringLiteral("Custom"), this);
    custom->setObjectName(QStringLiteral("customButton"));
    PageStyle::makeProminent(custom);
    auto* more = PageStyle::symbolButton(QStringLiteral("ellipsis.circle"), PageStyle::Tint::primary, 18,
                                         QStringLiteral("moreButton"), this);
    more->setPopupMode(QToolButton::InstantPopup);
    more->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    auto* menu = new QMenu(more);
    QAction* reset = menu->addAction(QStringLiteral("Reset to Defaults"));
    reset->setObjectName(QStringLiteral("resetAction"));
    more->setMenu(menu);
    for (QWidget* w : {static_cast<QWidget*>(library), static_cast<QWidget*>(custom)})
        header->addWidget(w);
    header->addWidget(more);
    layout->addLayout(header);
    layout->addWidget(PageStyle::divider(this));

    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(20, 0, 20, 0);
    searchRow->addWidget(m_search);
    layout->addLayout(searchRow);

    m_filter->setSourceModel(m_model);
    auto* row = new CommandRow(this);
    row->setHotkeyProblem([this](const QUuid& command) { return m_appState.hotkeyProblem(command); });
    m_list->setObjectName(QStringLiteral("commandList"));
    m_list->setModel(m_filter);
    m_list->setItemDelegate(row);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setDropIndicatorShown(true);
    m_list->setMouseTracking(true);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setUniformItemSizes(true);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    auto* listRow = new QHBoxLayout;
    listRow->setContentsMargins(12, 0, 12, 6);
    listRow->addWidget(m_list);
    layout->addLayout(listRow, 1);
    layout->addWidget(m_undo);

    connect(library, &QPushButton::clicked, this, &CommandsView::showLibrary);
    connect(custom, &QPushButton::clicked, this, &CommandsView::showAddSheet);
    connect(reset, &QAction::triggered, this, &CommandsView::resetToDefaults);
    connect(m_search, &SearchField::textChanged, this, &CommandsView::searchChanged);
    connect(row, &CommandRow::enabledToggled, &m_appState, &AppState::setCommandEnabled);
    connect(row, &CommandRow::editRequested, this, &CommandsView::editCommand);
    connect(row, &CommandRow::deleteRequested, this, &CommandsView::deleteCommand);
    // Rows that come into view (filter, reset) get their switch and buttons.
    connect(m_filter, &QAbstractItemModel::modelReset, this, &CommandsView::openRowEditors);
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, &CommandsView::openRowEditors);
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, &CommandsView::openRowEditors);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        m_highlighted = current.data(CommandListModel::CommandRole).value<Command>().id;
    });
    connect(m_filter, &QAbstractItemModel::dataChanged, this, &CommandsView::keepHighlightOnCommand);
    m_list->viewport()->installEventFilter(this);
    openRowEditors();
}

bool CommandsView::eventFilter(QObject* watched, QEvent* event)
{
    // When the list's scroll bar goes as the page first shows, the view places the rows'
    // controls before its rows take the new width, and they sat 14 px off until a search
    // laid the rows out anew: place them again once the resize has settled.
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        QMetaObject::invokeMethod(m_list, "updateEditorGeometries", Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void CommandsView::keepHighlightOnCommand()
{
    if (m_highlighted.isNull())
        return;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        const QModelIndex index = m_filter->index(row, 0);
        if (index.data(CommandListModel::CommandRole).value<Command>().id == m_highlighted) {
            if (m_list->currentIndex() != index)
                m_list->setCurrentIndex(index);
            return;
        }
    }
}

void CommandsView::deleteCommand(const Command& command)
{
    const QList<Command>& commands = m_appState.commands();
    const auto it = std::find_if(commands.cbegin(), commands.cend(), [&](const Command& c) { return c.id == command.id; });
    if (it == commands.cend())
        return;
    // The stored command, with its place in the list, is what Undo puts back.
    const Command removed = *it;
    const int position = int(it - commands.cbegin());
    m_appState.deleteCommand(removed);
    m_undo->offer(tr("\"%1\" deleted").arg(removed.name),
                  [this, removed, position] { m_appState.restoreCommand(removed, position); });
}

void CommandsView::resetToDefaults()
{
    const QList<Command> before = m_appState.commands();
    m_appState.resetCommandsToDefaults();
    m_undo->offer(tr("Commands reset to defaults"), [this, before] { m_appState.restoreCommands(before); });
}

void CommandsView::searchChanged(const QString& text)
{
    m_filter->setSearchText(text);
    // Offsets in a filtered list are not positions in the stored one: reorder only the whole list.
    m_list->setDragEnabled(text.isEmpty());
}

void CommandsView::openRowEditors()
{
    for (int row = 0; row < m_filter->rowCount(); ++row)
        m_list->openPersistentEditor(m_filter->index(row, 0));
}

void CommandsView::showAddSheet()
{
    auto* sheet = new CommandEditSheet(m_appState, std::nullopt, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

void CommandsView::showLibrary()
{
    auto* sheet = new CommandLibraryView(m_appState, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

void CommandsView::editCommand(const Command& command)
{
    auto* sheet = new CommandEditSheet(m_appState, command, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}
