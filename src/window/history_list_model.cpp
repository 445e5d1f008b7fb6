#include "history_list_model.h"

#include "app_state.h"

HistoryListModel::HistoryListModel(AppState& appState, QObject* parent)
    : QAbstractListModel(parent), m_appState(appState)
{
    // The store replaces the whole list on every change; a reset is the honest signal.
    connect(&m_appState, &AppState::historyChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_appState.history().size());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HistoryItem& item = m_appState.history().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case CommandNameRole: return item.commandName;
    case OriginalTextRole: return item.originalText;
    case ResultTextRole: return item.resultText;
    case TimestampRole: return item.timestamp;
    case SuccessRole: return item.success;
    case ErrorMessageRole: return item.errorMessage ? QVariant(*item.errorMessage) : QVariant();
    case IdRole: return item.id;
    default: return {};
    }
}

QHash<int, QByteArray> HistoryListModel::roleNames() const
{
    return {{CommandNameRole, "commandName"}, {OriginalTextRole, "originalText"},
            {ResultTextRole, "resultText"},   {TimestampRole, "timestamp"},
            {SuccessRole, "success"},         {ErrorMessageRole, "errorMessage"},
            {IdRole, "id"}};
}
