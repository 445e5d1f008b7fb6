#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QString>
#include <optional>

class QDialog;
class QPainter;
class QPushButton;
class QRectF;
class QScrollArea;
class QScrollBar;
class QToolButton;
class QHBoxLayout;
class QVBoxLayout;

// What the main window's pages share: text styles, semantic colours taken from the
// current palette (so light and dark both hold), section headers, rounded cards and
// symbol buttons. Colours are looked up when painting, never cached.
namespace PageStyle {

// Text styles as pixel sizes of the application font.
enum class TextStyle { title2, title3, headline, subheadline, body, caption, caption2 };
QFont font(TextStyle style, QFont::Weight weight = QFont::Normal);
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

struct Colors {
    QColor accent, primary, secondary;
    QColor blue, orange, green, red;
    QColor tertiaryFill, quaternaryFill; // faint tints of the text colour for card grounds

    static Colors from(const QPalette& palette);
};
QColor withOpacity(QColor color, qreal opacity);

// A label in a text style; secondary text takes the quiet colour of the palette.
QLabel* label(const QString& text, TextStyle style, QFont::Weight weight = QFont::Normal,
              bool secondary = false, QWidget* parent = nullptr);
// A bold section heading ("Getting Started", "Quick Actions").
QLabel* sectionHeader(const QString& text, QWidget* parent = nullptr);
// Semantic tints of symbols; resolved against the application palette when drawn.
enum class Tint { secondary, primary, blue, orange, red, green, white };
QColor tintColor(Tint tint, const QPalette& palette);
QIcon symbolIcon(const QString& symbol, Tint tint);
// A symbol's name for people ("Magic Wand" for "wand.and.stars"), for pickers that list symbols.
QString symbolTitle(const QString& symbol);
// A flat button showing only a symbol; the objectName is the test handle.
QToolButton* symbolButton(const QString& symbol, Tint tint, int pixelSize, const QString& objectName,
                          QWidget* parent = nullptr);
// Text (and a button's text) drawn in a tint, kept in it when the theme changes.
void setTextTint(QWidget* widget, Tint tint);
// A push button filled with the accent colour, for the main action of a page or sheet,
// or with a tint for a row's call to act ("Enable" in orange).
void makeProminent(QPushButton* button, std::optional<Tint> tint = std::nullopt);
// A thin horizontal rule.
QFrame* divider(QWidget* parent = nullptr);
// A frameless area scrolling the content vertically, the content as wide as the area.
QScrollArea* scrollArea(QWidget* content, QWidget* parent);

// A slider or picker on a scrolling page takes the wheel only while it has the focus;
// otherwise the wheel scrolls the page, so scrolling past a control never changes it.
void takeWheelOnlyWhenFocused(QWidget* control);

// A thin pill in place of the style's full scroll bar; `inset` keeps it off the ends.
void makeThin(QScrollBar* bar, int inset = 0);

// Makes the dialog a window-modal sheet of a fixed size over its parent's window;
// returns its layout, a column without margins or spacing for the sheet to fill.
QVBoxLayout* setUpSheet(QDialog* sheet, const QString& title, QSize size);

// A sheet's header row: its title as a headline and a close button ("closeButton") that
// rejects the sheet.
QHBoxLayout* sheetHeader(QDialog* sheet);

// The tile commands are drawn on: a blue symbol on blue at 0.1 opacity.
void paintSymbolTile(QPainter& painter, const QRectF& tile, const QString& symbol, qreal glyphSize,
                     qreal radius, const QPalette& palette);

} // namespace PageStyle

// A rounded rectangle behind its children, filled with one of the semantic fills.
class CardFrame : public QFrame {
    Q_OBJECT
public:
    enum class Fill { tertiary, quaternary, secondaryTint, redTint };
    explicit CardFrame(Fill fill, qreal radius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Fill m_fill;
    qreal m_radius;
};

// A symbol drawn at a fixed size, optionally on a tinted rounded tile.
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    enum class Style { plain, tile };
    SymbolLabel(const QString& symbol, PageStyle::Tint tint, int glyphSize, QSize size,
                Style style = Style::plain, QWidget* parent = nullptr);
    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol, PageStyle::Tint tint);
    QSize sizeHint() const override { return m_size; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    PageStyle::Tint m_tint;
    int m_glyphSize;
    QSize m_size;
    Style m_style;
};
