#pragma once

#include "records.h"

#include <QStyledItemDelegate>

// One row of the library: icon tile, name and prompt are painted; the trailing add
// button (a check mark once the user's list holds the name) is a persistent editor.
class LibraryCommandRow : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 58;
    static constexpr int tileSize = 36;
    static constexpr int trailingWidth = 44;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

signals:
    void addRequested(const Command& command);
};
