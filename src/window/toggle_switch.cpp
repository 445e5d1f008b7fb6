#include "toggle_switch.h"

#include "page_style.h"

#include <QPainter>

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    const PageStyle::Colors c = PageStyle::Colors::from(palette());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    QColor ground = isChecked() ? c.accent : PageStyle::withOpacity(c.primary, 0.18);
    if (!isEnabled())
        ground = PageStyle::withOpacity(ground, 0.5);
    p.setBrush(ground);
    p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    const qreal d = track.height() - 4;
    const qreal x = isChecked() ? track.right() - 2 - d : track.left() + 2;
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, track.top() + 2, d, d));
    if (hasFocus()) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(PageStyle::withOpacity(c.accent, 0.6), 1.5));
        p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    }
}
