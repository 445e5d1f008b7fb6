#include "category_pill.h"

#include "page_style.h"
#include "symbol_icon.h"

#include <QPainter>

namespace {
constexpr int kPadX = 12, kPadY = 6, kGlyph = 13, kGap = 5;
}

CategoryPill::CategoryPill(const QString& title, const QString& icon, QWidget* parent)
    : QAbstractButton(parent), m_icon(icon)
{
    setText(title);
    setFont(PageStyle::font(PageStyle::TextStyle::caption, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CategoryPill::setSelected(bool selected)
{
    m_isSelected = selected;
    update();
}

QSize CategoryPill::sizeHint() const
{
    const QFontMetrics fm(font());
    return {kPadX + kGlyph + kGap + fm.horizontalAdvance(text()) + kPadX, std::max(kGlyph, fm.height()) + 2 * kPadY};
}

void CategoryPill::paintEvent(QPaintEvent*)
{
    const PageStyle::Colors c = PageStyle::Colors::from(palette());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(m_isSelected ? c.accent : PageStyle::withOpacity(c.secondary, underMouse() ? 0.18 : 0.1));
    const QRectF r = QRectF(rect());
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    const QColor fg = m_isSelected ? QColor(Qt::white) : c.primary;
    SymbolIcon::paint(p, QRectF(kPadX, 0, kGlyph, height()), m_icon, fg, kGlyph);
    p.setPen(fg);
    p.setFont(font());
    p.drawText(QRectF(kPadX + kGlyph + kGap, 0, width() - kPadX - kGlyph - kGap, height()),
               Qt::AlignLeft | Qt::AlignVCenter, text());
}
