#include "page_style.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace PageStyle {

QFont font(Text style, QFont::Weight weight)
{
    struct Metrics {
        int pixelSize;
        QFont::Weight weight;
    };
    static constexpr Metrics kMetrics[] = {
        {20, QFont::Bold},   // title2
        {17, QFont::Normal}, // title3
        {14, QFont::DemiBold}, // headline
        {12, QFont::Normal}, // subheadline
        {13, QFont::Normal}, // body
        {11, QFont::Normal}, // caption
    };
    const Metrics& m = kMetrics[int(style)];
    QFont f;
    f.setPixelSize(m.pixelSize);
    f.setWeight(weight == QFont::Normal ? m.weight : weight);
    return f;
}

QLabel* label(const QString& text, Text style, QFont::Weight weight, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font(style, weight));
    return l;
}

QLabel* secondaryLabel(const QString& text, Text style, QWidget* parent)
{
    QLabel* l = label(text, style, QFont::Normal, parent);
    l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette p = widget->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, color);
    widget->setPalette(p);
}

QColor green() { return QColor(0x30, 0xB9, 0x50); }
QColor red() { return QColor(0xE5, 0x3E, 0x3A); }
QColor orange() { return QColor(0xF0, 0x8A, 0x00); }

QVBoxLayout* sheetLayout(QDialog* sheet, const QString& title, const QSize& size)
{
    sheet->setWindowTitle(title);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setFixedSize(size);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QScrollArea* scrollArea(QWidget* content, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return scroll;
}

void setTransparentBase(QWidget* widget)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::Base, Qt::transparent);
    widget->setPalette(p);
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    line->setFixedHeight(1);
    return line;
}

void makeProminent(QPushButton* button, const QColor& tint)
{
    const QString fill = tint.isValid() ? tint.name() : QStringLiteral("palette(highlight)");
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
        " padding: 5px 14px; }"
        "QPushButton:pressed { background: %1; padding-top: 6px; padding-bottom: 4px; }"
        "QPushButton:disabled { background: palette(mid); color: palette(window); }").arg(fill));
}

} // namespace PageStyle
