#include "history_filter_proxy.h"

#include "history_list_model.h"

void HistoryFilterProxy::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    invalidateRowsFilter();
}

bool HistoryFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (m_searchText.isEmpty())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    for (int role : {HistoryListModel::CommandNameRole, HistoryListModel::OriginalTextRole,
                     HistoryListModel::ResultTextRole}) {
        if (index.data(role).toString().contains(m_searchText, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
