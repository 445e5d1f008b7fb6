#pragma once

#include <QAbstractListModel>

class AppState;

// The store's history as a list, newest first; it keeps no copy of its own.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        CommandNameRole = Qt::UserRole + 1,
        OriginalTextRole,
        ResultTextRole,
        TimestampRole,
        SuccessRole,
        ErrorMessageRole,
        IdRole,
    };

    explicit HistoryListModel(AppState& appState, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    AppState& m_appState;
};
