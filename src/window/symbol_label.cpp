#include "symbol_label.h"

#include "symbol_icon.h"

#include <QPainter>

SymbolLabel::SymbolLabel(const QString& name, int pixelSize, QPalette::ColorRole role, QWidget* parent)
    : QWidget(parent), m_name(name), m_pixelSize(pixelSize), m_role(role)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

SymbolLabel::SymbolLabel(const QString& name, int pixelSize, const QColor& color, QWidget* parent)
    : QWidget(parent), m_name(name), m_pixelSize(pixelSize), m_color(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolLabel::setName(const QString& name)
{
    m_name = name;
    update();
}

void SymbolLabel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

QSize SymbolLabel::sizeHint() const
{
    const int side = m_pixelSize + m_pixelSize / 4;
    return {side, side};
}

void SymbolLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor color = m_color.isValid() ? m_color : palette().color(m_role);
    SymbolIcon::paint(painter, QRectF(rect()), m_name, color, m_pixelSize);
}
