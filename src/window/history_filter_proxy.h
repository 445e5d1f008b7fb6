#pragma once

#include <QSortFilterProxyModel>

// Keeps the history entries whose command name, original text or result contains the
// search text, ignoring case; the error message and the time are not searched. The
// order is the store's.
class HistoryFilterProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_searchText;
};
