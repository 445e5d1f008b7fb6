#include "history_row.h"

#include "history_list_model.h"
#include "page_style.h"
#include "symbol_icon.h"

#include <QLocale>
#include <QPainter>
#include <algorithm>

using PageStyle::TextStyle;

QString HistoryRow::relativeTime(const QDateTime& then, const QDateTime& now)
{
    const qint64 seconds = std::max<qint64>(0, then.secsTo(now));
    if (seconds < 60)
        return tr("just now");
    if (seconds < 3600)
        return tr("%n min ago", nullptr, int(seconds / 60));
    if (seconds < 86400)
        return tr("%n hr ago", nullptr, int(seconds / 3600));
    if (seconds < 30 * 86400)
        return seconds < 2 * 86400 ? tr("yesterday") : tr("%n days ago", nullptr, int(seconds / 86400));
    return QLocale().toString(then.toLocalTime().date(), QLocale::ShortFormat);
}

QString HistoryRow::oneLine(const QString& text)
{
    // Far more than any row is wide; the rest could never be seen.
    constexpr int kMaxChars = 400;
    QString line = text.left(kMaxChars);
    for (QChar& c : line) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return line;
}

QSize HistoryRow::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    const QFontMetrics name(PageStyle::font(TextStyle::body, QFont::Medium));
    const QFontMetrics caption(PageStyle::font(TextStyle::caption));
    const int text = name.height() + 4 + caption.height();
    return {300, std::max(markSize, text) + 2 * paddingY};
}

void HistoryRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const PageStyle::Colors colors = PageStyle::Colors::from(option.palette);
    const QColor& primary = colors.primary;
    const QColor& secondary = colors.secondary;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (option.state & (QStyle::State_MouseOver | QStyle::State_Selected)) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(PageStyle::withOpacity(primary, option.state & QStyle::State_Selected ? 0.10 : 0.05));
        painter->drawRoundedRect(QRectF(option.rect).adjusted(4, 1, -4, -1), 6, 6);
    }

    const QRect r = option.rect.adjusted(paddingX, paddingY, -paddingX, -paddingY);
    const bool success = index.data(HistoryListModel::SuccessRole).toBool();
    const QColor status = success ? colors.green : colors.red;

    const QRectF mark(r.left(), r.center().y() - markSize / 2.0, markSize, markSize);
    painter->setPen(Qt::NoPen);
    painter->setBrush(PageStyle::withOpacity(status, 0.2));
    painter->drawEllipse(mark);
    SymbolIcon::paint(*painter, mark, success ? QStringLiteral("checkmark") : QStringLiteral("xmark"),
                      status, 14);

    const QFont captionFont = PageStyle::font(TextStyle::caption);
    const QFontMetrics caption(captionFont);
    const QRectF chevron(r.right() - 14, r.top(), 14, r.height());
    SymbolIcon::paint(*painter, chevron, QStringLiteral("chevron.right"), secondary, 14);

    const int textLeft = int(mark.right()) + spacing;
    const int textRight = int(chevron.left()) - spacing;
    const QFont nameFont = PageStyle::font(TextStyle::body, QFont::Medium);
    const QFontMetrics name(nameFont);
    const int top = r.center().y() - (name.height() + 4 + caption.height()) / 2;

    const QString when = relativeTime(index.data(HistoryListModel::TimestampRole).toDateTime(),
                                      QDateTime::currentDateTimeUtc());
    const int whenWidth = caption.horizontalAdvance(when);
    painter->setFont(captionFont);
    painter->setPen(secondary);
    painter->drawText(QRect(textRight - whenWidth, top, whenWidth, name.height()),
                      Qt::AlignRight | Qt::AlignVCenter, when);

    const int nameWidth = std::max(0, textRight - whenWidth - 8 - textLeft);
    painter->setFont(nameFont);
    painter->setPen(primary);
    painter->drawText(QRect(textLeft, top, nameWidth, name.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      name.elidedText(index.data(HistoryListModel::CommandNameRole).toString(),
                                      Qt::ElideRight, nameWidth));

    const int originalWidth = std::max(0, textRight - textLeft);
    const QString original = caption.elidedText(
        oneLine(index.data(HistoryListModel::OriginalTextRole).toString()), Qt::ElideRight, originalWidth);
    painter->setFont(captionFont);
    painter->setPen(secondary);
    painter->drawText(QRect(textLeft, top + name.height() + 4, originalWidth, caption.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, original);
    painter->restore();
}
