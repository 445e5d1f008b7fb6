#pragma once

#include "records.h"

#include <QSortFilterProxyModel>
#include <optional>

// Keeps the rows whose name or prompt contains the search text (case-insensitive,
// a plain substring, never a pattern) and, when one is set, of one category.
class CommandFilterProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    QString searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    std::optional<CommandCategory> category() const { return m_category; }
    void setCategory(std::optional<CommandCategory> category);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_searchText;
    std::optional<CommandCategory> m_category;
};
