#include "rounded_panel.h"

#include <QPainter>
#include <QPainterPath>

RoundedPanel::RoundedPanel(QWidget* parent, int radius) : QWidget(parent), m_radius(radius) {}

void RoundedPanel::setFill(const QColor& color)
{
    m_fill = color;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*)
{
    QColor fill = m_fill;
    if (!fill.isValid()) {
        fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.06f);
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), m_radius, m_radius);
}
