#include "command_list_model.h"

#include "app_state.h"
#include "command_library.h"

#include <QMimeData>
#include <QSet>
#include <algorithm>

CommandListModel::CommandListModel(AppState& appState, Source source, QObject* parent)
    : QAbstractListModel(parent), m_appState(appState), m_source(source), m_rowCount(int(rows().size()))
{
    connect(&m_appState, &AppState::commandsChanged, this, &CommandListModel::storeChanged);
}

const QList<Command>& CommandListModel::rows() const
{
    return m_source == Source::library ? commandLibrary() : m_appState.commands();
}

void CommandListModel::storeChanged()
{
    // The store replaces its list whole. Same length: rows keep their editors and only
    // their data is read again (a toggle, an edit, a move). Otherwise start over.
    const int count = int(rows().size());
    if (count != m_rowCount) {
        beginResetModel();
        m_rowCount = count;
        endResetModel();
    } else if (count > 0) {
        emit dataChanged(index(0), index(count - 1));
    }
}

int CommandListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rowCount; }

QVariant CommandListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows().size())
        return {};
    const Command& command = rows().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return command.name;
    case CommandRole:
        return QVariant::fromValue(command);
    case IsInListRole: {
        const QList<Command>& mine = m_appState.commands();
        return std::any_of(mine.cbegin(), mine.cend(), [&](const Command& c) { return c.name == command.name; });
    }
    default:
        return {};
    }
}

Qt::ItemFlags CommandListModel::flags(const QModelIndex& index) const
{
    if (m_source == Source::library)
        return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList CommandListModel::mimeTypes() const { return {QString::fromLatin1(mimeType)}; }

QMimeData* CommandListModel::mimeData(const QModelIndexList& indexes) const
{
    QStringList ids;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && index.row() < rows().size())
            ids << rows().at(index.row()).id.toString(QUuid::WithoutBraces);
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(mimeType), ids.join(QLatin1Char('\n')).toLatin1());
    return data;
}

bool CommandListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                    const QModelIndex& parent)
{
    if (m_source != Source::userCommands || action != Qt::MoveAction || !data
        || !data->hasFormat(QString::fromLatin1(mimeType)))
        return false;
    if (parent.isValid()) // dropped onto a row: in front of it
        row = parent.row();
    if (row < 0)
        row = m_rowCount;
    QSet<int> offsets;
    const QList<Command>& list = m_appState.commands();
    for (const QByteArray& id : data->data(QString::fromLatin1(mimeType)).split('\n')) {
        const QUuid uuid = QUuid::fromString(QLatin1String(id));
        const auto it = std::find_if(list.cbegin(), list.cend(), [&](const Command& c) { return c.id == uuid; });
        if (it != list.cend())
            offsets.insert(int(it - list.cbegin()));
    }
    if (offsets.isEmpty())
        return false;
    m_appState.moveCommands(offsets, row);
    // The rows are moved already; nothing is left for the view to remove.
    return true;
}
