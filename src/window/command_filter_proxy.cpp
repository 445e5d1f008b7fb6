#include "command_filter_proxy.h"

#include "command_list_model.h"

void CommandFilterProxy::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    invalidateRowsFilter();
}

void CommandFilterProxy::setCategory(std::optional<CommandCategory> category)
{
    if (category == m_category)
        return;
    m_category = category;
    invalidateRowsFilter();
}

bool CommandFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const auto command = index.data(CommandListModel::CommandRole).value<Command>();
    if (m_category && command.category != *m_category)
        return false;
    return m_searchText.isEmpty() || command.name.contains(m_searchText, Qt::CaseInsensitive)
        || command.prompt.contains(m_searchText, Qt::CaseInsensitive);
}
