#include "library_command_row.h"

#include "command_list_model.h"
#include "page_style.h"

#include <QPainter>
#include <QToolButton>

void LibraryCommandRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    using namespace PageStyle;
    const auto command = index.data(CommandListModel::CommandRole).value<Command>();
    const Colors c = Colors::from(option.palette);
    painter->save();
    const QRectF row = QRectF(option.rect).adjusted(12, 4, -12, -4);
    const QRectF tile(row.left(), row.center().y() - tileSize / 2.0, tileSize, tileSize);
    paintSymbolTile(*painter, tile, command.icon, 17, 8, option.palette);

    const QFont nameFont = font(TextStyle::body, QFont::Medium);
    const QFont promptFont = font(TextStyle::caption);
    const QFontMetricsF nameMetrics(nameFont), promptMetrics(promptFont);
    const qreal left = tile.right() + 12;
    const qreal width = row.right() - trailingWidth - left;
    const QRectF promptBox(left, 0, width, 2 * promptMetrics.lineSpacing());
    const QRectF promptUsed = promptMetrics.boundingRect(promptBox, Qt::TextWordWrap, command.prompt);
    const qreal promptHeight = std::min(promptUsed.height(), promptBox.height());
    const qreal top = row.center().y() - (nameMetrics.height() + 2 + promptHeight) / 2;
    painter->setFont(nameFont);
    painter->setPen(c.primary);
    painter->drawText(QRectF(left, top, width, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(command.name, Qt::ElideRight, width));
    painter->setFont(promptFont);
    painter->setPen(c.secondary);
    painter->drawText(QRectF(left, top + nameMetrics.height() + 2, width, promptHeight),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, command.prompt);
    painter->restore();
}

QSize LibraryCommandRow::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {400, rowHeight};
}

QWidget* LibraryCommandRow::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* self = const_cast<LibraryCommandRow*>(this);
    auto* button = PageStyle::symbolButton(QStringLiteral("plus.circle.fill"), PageStyle::Tint::blue, 20,
                                           QStringLiteral("addButton"), parent);
    connect(button, &QToolButton::clicked, self, [self, button] {
        // The check mark does nothing; the store ignores a name it holds anyway.
        if (button->objectName() == QLatin1String("addButton"))
            emit self->addRequested(button->property("command").value<Command>());
    });
    return button;
}

void LibraryCommandRow::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* button = static_cast<QToolButton*>(editor);
    const bool inList = index.data(CommandListModel::IsInListRole).toBool();
    button->setProperty("command", index.data(CommandListModel::CommandRole));
    button->setObjectName(inList ? QStringLiteral("addedMark") : QStringLiteral("addButton"));
    button->setIcon(inList ? PageStyle::symbolIcon(QStringLiteral("checkmark.circle.fill"), PageStyle::Tint::green)
                           : PageStyle::symbolIcon(QStringLiteral("plus.circle.fill"), PageStyle::Tint::blue));
    button->setCursor(inList ? Qt::ArrowCursor : Qt::PointingHandCursor);
    // The check mark is a sign, not a button: the pointer passes through it, so it is never
    // drawn raised under the pointer.
    button->setAttribute(Qt::WA_TransparentForMouseEvents, inList);
    button->setAutoRaise(true);
    button->setAccessibleName(inList ? QStringLiteral("Added") : QStringLiteral("Add"));
}

void LibraryCommandRow::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex&) const
{
    const QRect r = option.rect;
    editor->setGeometry(r.right() - trailingWidth, r.center().y() - 15, 30, 30);
}
