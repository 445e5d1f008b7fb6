#pragma once

#include <QDateTime>
#include <QStyledItemDelegate>

// Paints one history entry: the status mark, the command name, how long ago it ran,
// the original text cut to one line, and a chevron. No widgets per row, so a full
// history of long texts scrolls as fast as an empty one.
class HistoryRow : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The elapsed time in words ("just now", "5 min ago", "3 days ago"); past a month
    // the locale's short date.
    static QString relativeTime(const QDateTime& then, const QDateTime& now);
    // The first line's worth of a text, line breaks as blanks: eliding a whole long text
    // would lay all of it out for every paint.
    static QString oneLine(const QString& text);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int markSize = 36;
    static constexpr int spacing = 12;
    static constexpr int paddingX = 12;
    static constexpr int paddingY = 8;
};
