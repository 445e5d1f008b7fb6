#pragma once

#include "records.h"

#include <QStyledItemDelegate>
#include <functional>

// One row of the Commands list: the icon tile, the name with its shortcut badge and the
// category are painted; the switch, the edit and the delete button on the right are a
// persistent editor, so a drag can start anywhere on the painted part. The row asks for
// changes through its signals; the page performs them on the store.
class CommandRow : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 56;
    static constexpr int tileSize = 40;
    static constexpr int controlsWidth = 116;

    // Why a command's hotkey does not work; shown in red on its row.
    using HotkeyProblem = std::function<QString(const QUuid& command)>;

    using QStyledItemDelegate::QStyledItemDelegate;
    void setHotkeyProblem(HotkeyProblem problem) { m_hotkeyProblem = std::move(problem); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

signals:
    void enabledToggled(const Command& command, bool enabled);
    void editRequested(const Command& command);
    void deleteRequested(const Command& command);

private:
    HotkeyProblem m_hotkeyProblem;
};
