#include "overlay_command_row.h"

#include "hotkey_display.h"
#include "overlay_colors.h"
#include "symbol_icon.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <algorithm>

namespace {
QFont sized(QFont font, int pixelSize)
{
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Medium);
    return font;
}
} // namespace

OverlayCommandRow::OverlayCommandRow(const Command& command, bool isSelected,
                                     const QFont& baseFont)
    : m_command(command),
      m_badge(hasBadge(command) ? HotkeyDisplay::linuxLabel(*command.shortcut) : QString()),
      m_isSelected(isSelected),
      m_nameFont(sized(baseFont, nameFontSize)),
      m_badgeFont(sized(baseFont, badgeFontSize))
{
}

bool OverlayCommandRow::hasBadge(const Command& command)
{
    return command.shortcut && !command.shortcut->isEmpty();
}

QSize OverlayCommandRow::badgeSize() const
{
    const QFontMetrics fm(m_badgeFont);
    return {fm.horizontalAdvance(m_badge) + 2 * badgePaddingX,
            fm.height() + 2 * badgePaddingY};
}

QSize OverlayCommandRow::sizeHint() const
{
    const QFontMetrics fm(m_nameFont);
    // Measured no further than a stored name may reach; a longer one is elided anyway.
    int width = paddingX + tileSize + spacing
        + fm.horizontalAdvance(QStringView(m_command.name).left(Command::maxNameLength).toString()) + paddingX;
    if (hasBadge(m_command))
        width += badgeGap + badgeSize().width();
    return {width, height(m_nameFont)};
}

int OverlayCommandRow::height(const QFont& baseFont)
{
    const int name = QFontMetrics(sized(baseFont, nameFontSize)).height();
    const int badge = QFontMetrics(sized(baseFont, badgeFontSize)).height() + 2 * badgePaddingY;
    return std::max({tileSize, name, badge}) + 2 * paddingY;
}

void OverlayCommandRow::paint(QPainter& painter, const QRect& rect, const QPalette& palette) const
{
    const OverlayColors colors = OverlayColors::from(palette);
    const QColor foreground = m_isSelected ? QColor(Qt::white) : colors.primary;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (m_isSelected) {
        painter.setBrush(colors.accent);
        painter.drawRoundedRect(QRectF(rect), rowRadius, rowRadius);
    }

    const QRectF content = QRectF(rect).adjusted(paddingX, paddingY, -paddingX, -paddingY);
    const QRectF tile(content.left(), content.center().y() - tileSize / 2.0, tileSize, tileSize);
    painter.setBrush(m_isSelected ? colors.accent : OverlayColors::withOpacity(colors.secondary, 0.15));
    painter.drawRoundedRect(tile, tileRadius, tileRadius);
    SymbolIcon::paint(painter, tile, m_command.icon, foreground, glyphSize);

    qreal nameRight = content.right();
    if (hasBadge(m_command)) {
        const QSize size = badgeSize();
        const QRectF badge(content.right() - size.width(), content.center().y() - size.height() / 2.0,
                           size.width(), size.height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_isSelected ? OverlayColors::withOpacity(Qt::white, 0.15)
                                      : OverlayColors::withOpacity(colors.secondary, 0.1));
        painter.drawRoundedRect(badge, badgeRadius, badgeRadius);
        painter.setFont(m_badgeFont);
        painter.setPen(m_isSelected ? OverlayColors::withOpacity(Qt::white, 0.8) : colors.secondary);
        painter.drawText(badge, Qt::AlignCenter, m_badge);
        nameRight = badge.left() - spacing;
    }

    const QRectF name(tile.right() + spacing, content.top(), nameRight - tile.right() - spacing,
                      content.height());
    painter.setFont(m_nameFont);
    painter.setPen(foreground);
    const QString text = QFontMetrics(m_nameFont).elidedText(
        QStringView(m_command.name).left(Command::maxNameLength).toString(), Qt::ElideRight, int(name.width()));
    painter.drawText(name, Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.restore();
}
