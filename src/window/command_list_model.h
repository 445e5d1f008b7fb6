#pragma once

#include "records.h"

#include <QAbstractListModel>

class AppState;

Q_DECLARE_METATYPE(Command)

// A list model straight over the store's commands (or over the built-in library),
// holding no rows of its own. Dropping dragged rows calls the store's move operation.
class CommandListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Source { userCommands, library };
    enum Role {
        CommandRole = Qt::UserRole + 1, // the whole Command
        IsInListRole,                   // library rows: the user's list holds this name
    };
    static constexpr auto mimeType = "application/x-tovalin-command-ids";

    CommandListModel(AppState& appState, Source source, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    const QList<Command>& rows() const;
    void storeChanged();

    AppState& m_appState;
    Source m_source;
    int m_rowCount; // the count the views were last told about
};
