#include "tip_row.h"

#include "page_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace PageStyle;

TipRow::TipRow(const QString& icon, const QString& title, const QString& description, QWidget* parent)
    : QWidget(parent), m_icon(icon), m_title(title), m_description(description)
{
    setObjectName(QStringLiteral("tipRow"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(new SymbolLabel(icon, Tint::blue, 15, {20, 18}, SymbolLabel::Style::plain, this), 0,
                   Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(label(title, TextStyle::body, QFont::Medium, false, this));
    QLabel* text = label(description, TextStyle::caption, QFont::Normal, true, this);
    text->setWordWrap(true);
    texts->addWidget(text);
    row->addLayout(texts, 1);
}
