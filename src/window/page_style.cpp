#include "page_style.h"

#include "symbol_icon.h"

#include <QApplication>
#include <QIconEngine>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace PageStyle {

namespace {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

class TintedSymbolEngine : public QIconEngine {
public:
    TintedSymbolEngine(QString symbol, Tint tint) : m_symbol(std::move(symbol)), m_tint(tint) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        // The application palette, so a theme change recolours icons already handed out.
        QColor color = tintColor(m_tint, QApplication::palette());
        if (mode == QIcon::Disabled)
            color = withOpacity(color, 0.4);
        else if (mode == QIcon::Selected) // on the accent colour of a selected row
            color = Qt::white;
        SymbolIcon::paint(*painter, QRectF(rect), m_symbol, color, std::min(rect.width(), rect.height()));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new TintedSymbolEngine(m_symbol, m_tint); }
    QString iconName() override { return m_symbol; }

private:
    QString m_symbol;
    Tint m_tint;
};

int pixelSize(TextStyle style)
{
    switch (style) {
    case TextStyle::title2: return 20;
    case TextStyle::title3: return 17;
    case TextStyle::headline: return 14;
    case TextStyle::subheadline: return 12;
    case TextStyle::body: return 13;
    case TextStyle::caption: return 11;
    case TextStyle::caption2: return 10;
    }
    return 13;
}

} // namespace

QFont font(int size, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPixelSize(size);
    f.setWeight(weight);
    return f;
}

QFont font(TextStyle style, QFont::Weight weight)
{
    return font(pixelSize(style), style == TextStyle::headline && weight == QFont::Normal ? QFont::DemiBold : weight);
}

Colors Colors::from(const QPalette& palette)
{
    const bool dark = isDark(palette);
    const QColor text = palette.color(QPalette::WindowText);
    return {palette.color(QPalette::Highlight),
            text,
            palette.color(QPalette::PlaceholderText),
            dark ? QColor(0x0A84FF) : QColor(0x007AFF),
            dark ? QColor(0xFF9F0A) : QColor(0xFF9500),
            dark ? QColor(0x30D158) : QColor(0x34C759),
            dark ? QColor(0xFF453A) : QColor(0xFF3B30),
            withOpacity(text, dark ? 0.10 : 0.06),
            withOpacity(text, dark ? 0.07 : 0.04)};
}

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QColor tintColor(Tint tint, const QPalette& palette)
{
    const Colors c = Colors::from(palette);
    switch (tint) {
    case Tint::secondary: return c.secondary;
    case Tint::primary: return c.primary;
    case Tint::blue: return c.blue;
    case Tint::orange: return c.orange;
    case Tint::red: return c.red;
    case Tint::green: return c.green;
    case Tint::white: return Qt::white;
    }
    return c.primary;
}

QIcon symbolIcon(const QString& symbol, Tint tint) { return QIcon(new TintedSymbolEngine(symbol, tint)); }

QLabel* label(const QString& text, TextStyle style, QFont::Weight weight, bool secondary, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font(style, weight));
    if (secondary)
        l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

QLabel* sectionHeader(const QString& text, QWidget* parent)
{
    return label(text, TextStyle::subheadline, QFont::DemiBold, false, parent);
}

QToolButton* symbolButton(const QString& symbol, Tint tint, int pixelSize, const QString& objectName,
                          QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(objectName);
    b->setAutoRaise(true);
    b->setIcon(symbolIcon(symbol, tint));
    b->setIconSize(QSize(pixelSize, pixelSize));
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

void makeProminent(QPushButton* button)
{
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: palette(highlight); color: white; border: none; border-radius: 6px;"
        " padding: 5px 14px; font-weight: 600; }"
        "QPushButton:hover { background: palette(link); }"
        "QPushButton:disabled { background: palette(mid); color: palette(base); }"));
    button->setCursor(Qt::PointingHandCursor);
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

void paintSymbolTile(QPainter& painter, const QRectF& tile, const QString& symbol, qreal glyphSize,
                     qreal radius, const QPalette& palette)
{
    const Colors c = Colors::from(palette);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(c.blue, 0.1));
    painter.drawRoundedRect(tile, radius, radius);
    painter.restore();
    SymbolIcon::paint(painter, tile, symbol, c.blue, glyphSize);
}

} // namespace PageStyle

CardFrame::CardFrame(Fill fill, qreal radius, QWidget* parent)
    : QFrame(parent), m_fill(fill), m_radius(radius)
{
}

void CardFrame::paintEvent(QPaintEvent*)
{
    const PageStyle::Colors c = PageStyle::Colors::from(palette());
    QColor fill = c.tertiaryFill;
    if (m_fill == Fill::quaternary)
        fill = c.quaternaryFill;
    else if (m_fill == Fill::secondaryTint)
        fill = PageStyle::withOpacity(c.secondary, 0.1);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(rect()), m_radius, m_radius);
}

SymbolLabel::SymbolLabel(const QString& symbol, PageStyle::Tint tint, int glyphSize, QSize size, Style style,
                         QWidget* parent)
    : QWidget(parent), m_symbol(symbol), m_tint(tint), m_glyphSize(glyphSize), m_size(size), m_style(style)
{
    setFixedSize(size);
}

void SymbolLabel::setSymbol(const QString& symbol, PageStyle::Tint tint)
{
    m_symbol = symbol;
    m_tint = tint;
    update();
}

void SymbolLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_style == Style::tile) {
        PageStyle::paintSymbolTile(p, QRectF(rect()), m_symbol, m_glyphSize, 5, palette());
        return;
    }
    SymbolIcon::paint(p, QRectF(rect()), m_symbol, PageStyle::tintColor(m_tint, palette()), m_glyphSize);
}
