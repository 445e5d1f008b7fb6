#include "command_row.h"

#include "command_list_model.h"
#include "hotkey_display.h"
#include "page_style.h"
#include "toggle_switch.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QToolButton>

namespace {
constexpr auto kCommandProperty = "command";

Command commandOf(const QWidget* controls) { return controls->property(kCommandProperty).value<Command>(); }
} // namespace

void CommandRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    using namespace PageStyle;
    const auto command = index.data(CommandListModel::CommandRole).value<Command>();
    const Colors c = Colors::from(option.palette);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF row = QRectF(option.rect).adjusted(4, 2, -4, -2);
    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(option.state & QStyle::State_Selected ? c.tertiaryFill : c.quaternaryFill);
        painter->drawRoundedRect(row, 8, 8);
    }
    const QRectF tile(row.left() + 8, row.center().y() - tileSize / 2.0, tileSize, tileSize);
    paintSymbolTile(*painter, tile, command.icon, 20, 8, option.palette);

    const qreal textLeft = tile.right() + 12;
    const qreal textRight = row.right() - controlsWidth - 8;
    const QFont nameFont = font(TextStyle::body, QFont::Medium);
    const QFont badgeFont = font(TextStyle::caption2);
    const QFont categoryFont = font(TextStyle::caption);
    const QFontMetricsF nameMetrics(nameFont), categoryMetrics(categoryFont), badgeMetrics(badgeFont);
    const qreal top = row.center().y() - (nameMetrics.height() + 2 + categoryMetrics.height()) / 2;

    QString badge;
    if (command.shortcut && !command.shortcut->isEmpty())
        badge = HotkeyDisplay::linuxLabel(*command.shortcut);
    // A badge never advertises a hotkey that does nothing without saying why.
    const QString problem = m_hotkeyProblem && !badge.isEmpty() ? m_hotkeyProblem(command.id) : QString();
    const QColor badgeColor = problem.isEmpty() ? c.secondary : c.red;
    const qreal badgeWidth = badge.isEmpty() ? 0 : badgeMetrics.horizontalAdvance(badge) + 12;
    const qreal nameRoom = std::max<qreal>(0, textRight - textLeft - (badgeWidth ? badgeWidth + 8 : 0));
    const QString name = nameMetrics.elidedText(command.name, Qt::ElideRight, nameRoom);
    painter->setFont(nameFont);
    painter->setPen(c.primary);
    const QRectF nameRect(textLeft, top, nameMetrics.horizontalAdvance(name) + 1, nameMetrics.height());
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, name);
    if (!badge.isEmpty()) {
        const qreal h = badgeMetrics.height() + 4;
        const QRectF pill(nameRect.right() + 8, nameRect.center().y() - h / 2, badgeWidth, h);
        painter->setPen(Qt::NoPen);
        painter->setBrush(withOpacity(badgeColor, 0.15));
        painter->drawRoundedRect(pill, 4, 4);
        painter->setFont(badgeFont);
        painter->setPen(badgeColor);
        painter->drawText(pill, Qt::AlignCenter, badge);
    }
    painter->setFont(categoryFont);
    painter->setPen(c.secondary);
    const QRectF second(textLeft, nameRect.bottom() + 2, textRight - textLeft, categoryMetrics.height());
    const QString category = rawValue(command.category);
    painter->drawText(second, Qt::AlignLeft | Qt::AlignVCenter, category);
    if (!problem.isEmpty()) {
        const qreal left = categoryMetrics.horizontalAdvance(category) + 10;
        painter->setPen(c.red);
        painter->drawText(second.adjusted(left, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          categoryMetrics.elidedText(problem, Qt::ElideRight, std::max<qreal>(0, second.width() - left)));
    }
    painter->restore();
}

QSize CommandRow::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const { return {400, rowHeight}; }

QWidget* CommandRow::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* self = const_cast<CommandRow*>(this);
    auto* controls = new QWidget(parent);
    controls->setObjectName(QStringLiteral("commandRowControls"));
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 10, 0);
    row->setSpacing(6);
    auto* toggle = new ToggleSwitch(controls);
    toggle->setObjectName(QStringLiteral("enabledSwitch"));
    toggle->setAccessibleName(QStringLiteral("Enabled"));
    auto* edit = PageStyle::symbolButton(QStringLiteral("pencil"), PageStyle::Tint::secondary, 16,
                                         QStringLiteral("editButton"), controls);
    auto* remove = PageStyle::symbolButton(QStringLiteral("trash"), PageStyle::Tint::red, 16,
                                           QStringLiteral("deleteButton"), controls);
    row->addStretch();
    row->addWidget(toggle);
    row->addSpacing(4);
    row->addWidget(edit);
    row->addWidget(remove);
    connect(toggle, &ToggleSwitch::clicked, self,
            [self, controls](bool on) { emit self->enabledToggled(commandOf(controls), on); });
    connect(edit, &QToolButton::clicked, self, [self, controls] { emit self->editRequested(commandOf(controls)); });
    connect(remove, &QToolButton::clicked, self,
            [self, controls] { emit self->deleteRequested(commandOf(controls)); });
    return controls;
}

void CommandRow::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const auto command = index.data(CommandListModel::CommandRole).value<Command>();
    editor->setProperty(kCommandProperty, QVariant::fromValue(command));
    editor->findChild<ToggleSwitch*>()->setChecked(command.isEnabled);
}

void CommandRow::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const QRect r = option.rect;
    editor->setGeometry(r.right() - controlsWidth, r.top(), controlsWidth, r.height());
}
