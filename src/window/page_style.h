#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QDialog;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QWidget;

// Text styles and colours of the window's pages. Quiet text takes the palette's
// placeholder colour so it follows the theme; the status colours read on light
// and dark backgrounds alike.
namespace PageStyle {

enum class Text { title2, title3, headline, subheadline, body, caption };

QFont font(Text style, QFont::Weight weight = QFont::Normal);

QLabel* label(const QString& text, Text style, QFont::Weight weight = QFont::Normal,
              QWidget* parent = nullptr);
// A label in the quiet (secondary) colour.
QLabel* secondaryLabel(const QString& text, Text style, QWidget* parent = nullptr);
// Draws the widget's text in a fixed colour, whatever the theme.
void setTextColor(QWidget* widget, const QColor& color);

QColor green();
QColor red();
QColor orange();

// Makes the dialog a window-modal sheet of a fixed size; returns its layout, a column
// without margins for the header, the dividers, the content and the footer.
QVBoxLayout* sheetLayout(QDialog* sheet, const QString& title, const QSize& size);

// A frameless area scrolling the content vertically, the content as wide as the area.
QScrollArea* scrollArea(QWidget* content, QWidget* parent);

// Lets a text field show what lies behind it. A palette role rather than a style sheet,
// which would pin the field's other colours to the theme it was created in.
void setTransparentBase(QWidget* widget);

// A thin horizontal rule.
QFrame* divider(QWidget* parent = nullptr);

// The accent-filled button of a row or sheet; tinted with another colour when given.
// The fill is the same in both themes; the disabled look takes the palette of the
// moment the button is made, which holds for the sheets that disable it: they are
// closed whenever the theme can change, since it is chosen on the page behind them.
void makeProminent(QPushButton* button, const QColor& tint = QColor());

} // namespace PageStyle
