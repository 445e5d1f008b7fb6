#include "page_style.h"

#include "symbol_icon.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace PageStyle {

namespace {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

// Holds a widget's text roles at a tint of the application palette; set again when
// the palette changes, since a colour set on a widget would otherwise outlive its theme.
class TextTint : public QObject {
public:
    static constexpr auto name = "pageStyleTextTint";

    TextTint(QWidget* widget, Tint tint) : QObject(widget), m_widget(widget), m_tint(tint)
    {
        setObjectName(QLatin1String(name));
        widget->installEventFilter(this);
        apply();
    }
    void setTint(Tint tint)
    {
        m_tint = tint;
        apply();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
            apply();
        return false;
    }

private:
    void apply()
    {
        const QColor color = tintColor(m_tint, QApplication::palette());
        QPalette p = m_widget->palette();
        if (p.color(QPalette::WindowText) == color && p.color(QPalette::ButtonText) == color)
            return; // also ends the PaletteChange that setPalette sends back
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(role, color);
        m_widget->setPalette(p);
    }

    QWidget* m_widget;
    Tint m_tint;
};

// Turns wheel events away from a control without the focus; Qt then offers them to the
// control's parents, up to the scrolling page.
class WheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
            return false;
        event->ignore();
        return true;
    }
};

// Keeps a sheet centred on its main window: when it shows and whenever that window moves
// or changes size, so the sheet travels with the window like a part of it.
class SheetPlacement : public QObject {
public:
    SheetPlacement(QDialog* sheet, QWidget* window) : QObject(sheet), m_sheet(sheet), m_window(window)
    {
        sheet->installEventFilter(this);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((watched == m_sheet && type == QEvent::Show)
            || (watched == m_window && (type == QEvent::Move || type == QEvent::Resize)))
            centre();
        return false;
    }

private:
    void centre()
    {
        const QPoint centre = m_window->geometry().center();
        m_sheet->move(centre.x() - m_sheet->width() / 2, centre.y() - m_sheet->height() / 2);
    }

    QDialog* m_sheet;
    QWidget* m_window;
};

// The sheet's edge, drawn above its content: without a window frame of its own it would
// melt into the window behind it.
class SheetEdge : public QWidget {
public:
    explicit SheetEdge(QDialog* sheet) : QWidget(sheet)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        sheet->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            setGeometry(parentWidget()->rect());
            raise();
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
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

QIcon symbolIcon(const QString& symbol, Tint tint)
{
    // The application palette at each paint, so a theme change recolours icons already handed out.
    return SymbolIcon::icon(symbol, [tint] { return tintColor(tint, QApplication::palette()); });
}

QString symbolTitle(const QString& symbol)
{
    static const QHash<QString, QString> titles{
        {"wand.and.stars", "Magic Wand"}, {"sparkles", "Sparkles"}, {"textformat", "Text Format"},
        {"textformat.abc", "Alphabet"}, {"doc.text", "Document"},
        {"arrow.down.right.and.arrow.up.left", "Shorten"}, {"arrow.up.left.and.arrow.down.right", "Expand"},
        {"briefcase", "Briefcase"}, {"face.smiling", "Smiling Face"}, {"globe", "Globe"},
        {"globe.americas", "Globe (Americas)"}, {"globe.asia.australia", "Globe (Asia)"}, {"pencil", "Pencil"},
        {"text.bubble", "Speech Bubble"}, {"text.alignleft", "Paragraph"}, {"list.bullet", "Bulleted List"},
        {"checkmark", "Check Mark"}, {"heart", "Heart"}, {"bolt", "Lightning"}, {"lightbulb", "Light Bulb"},
        {"envelope", "Envelope"}, {"book", "Book"}};
    if (const auto it = titles.constFind(symbol); it != titles.cend())
        return *it;
    // Any other symbol: its words, without the drawing variants.
    QStringList words = symbol.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    words.removeIf([](const QString& w) { return w == QLatin1String("fill") || w == QLatin1String("circle"); });
    for (QString& w : words)
        w[0] = w[0].toUpper();
    return words.isEmpty() ? symbol : words.join(QLatin1Char(' '));
}

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

void setTextTint(QWidget* widget, Tint tint)
{
    // Found by name: the class has no meta-object of its own to be found by.
    if (auto* existing = widget->findChild<QObject*>(QLatin1String(TextTint::name), Qt::FindDirectChildrenOnly))
        static_cast<TextTint*>(existing)->setTint(tint);
    else
        new TextTint(widget, tint);
}

void makeProminent(QPushButton* button, std::optional<Tint> tint)
{
    // A tint is fixed when the button is made; the tinted buttons live on pages, which
    // are made afresh each time their tab comes up.
    const QString fill = tint ? tintColor(*tint, QApplication::palette()).name() : QStringLiteral("palette(highlight)");
    const QString hover = tint ? fill : QStringLiteral("palette(link)");
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
        " padding: 5px 14px; font-weight: 600; }"
        "QPushButton:hover { background: %2; }"
        "QPushButton:disabled { background: palette(mid); color: palette(base); }").arg(fill, hover));
    button->setCursor(Qt::PointingHandCursor);
}

QScrollArea* scrollArea(QWidget* content, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    makeThin(scroll->verticalScrollBar());
    // The page's ground shows through, in either theme.
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    return scroll;
}

void takeWheelOnlyWhenFocused(QWidget* control)
{
    // Wheel focus would hand the control the focus on the first turn of the wheel over it.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelGuard(control));
}

void makeThin(QScrollBar* bar, int inset)
{
    const bool vertical = bar->orientation() == Qt::Vertical;
    bar->setStyleSheet(QStringLiteral(
        "QScrollBar { %1: 6px; background: transparent; margin: %2; }"
        "QScrollBar::handle { background: rgba(127, 127, 127, 0.35); border-radius: 3px; min-%3: 40px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
                           .arg(vertical ? QStringLiteral("width") : QStringLiteral("height"),
                                vertical ? QStringLiteral("%1px 2px %1px 0").arg(inset)
                                         : QStringLiteral("0 %1px").arg(inset),
                                vertical ? QStringLiteral("height") : QStringLiteral("width")));
}

QVBoxLayout* setUpSheet(QDialog* sheet, const QString& title, QSize size)
{
    sheet->setWindowTitle(title);
    // A sheet of the main window rather than a window of its own: transient for it and
    // modal to it (a parented dialog is both), without a frame, so no buttons to minimise or
    // maximise it and no second title above its header, centred on the window and moving
    // with it.
    sheet->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setFixedSize(size);
    if (QWidget* owner = sheet->parentWidget())
        new SheetPlacement(sheet, owner->window());
    new SheetEdge(sheet);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QHBoxLayout* sheetHeader(QDialog* sheet)
{
    auto* header = new QHBoxLayout;
    header->addWidget(label(sheet->windowTitle(), TextStyle::headline));
    header->addStretch();
    QToolButton* close = symbolButton(QStringLiteral("xmark.circle.fill"), Tint::secondary, 18,
                                      QStringLiteral("closeButton"), sheet);
    QObject::connect(close, &QToolButton::clicked, sheet, &QDialog::reject);
    header->addWidget(close);
    return header;
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
    else if (m_fill == Fill::redTint)
        fill = PageStyle::withOpacity(c.red, 0.1);
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
