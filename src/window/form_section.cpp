#include "form_section.h"

#include "page_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

FormSection::FormSection(const QString& title, const QString& symbol, QWidget* parent)
    : QWidget(parent), m_group(new CardFrame(CardFrame::Fill::tertiary, 8, this)), m_rows(new QVBoxLayout(m_group))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!title.isEmpty()) {
        auto* header = new QHBoxLayout;
        header->setContentsMargins(4, 0, 0, 0);
        header->setSpacing(6);
        if (!symbol.isEmpty())
            header->addWidget(new SymbolLabel(symbol, PageStyle::Tint::secondary, 14, {17, 17}));
        header->addWidget(PageStyle::label(title, PageStyle::TextStyle::subheadline, QFont::DemiBold, true, this));
        header->addStretch();
        layout->addLayout(header);
    }
    m_rows->setContentsMargins(12, 4, 12, 4);
    m_rows->setSpacing(0);
    layout->addWidget(m_group);
}

void FormSection::addRow(QWidget* row)
{
    if (m_rows->count() > 0)
        m_rows->addWidget(PageStyle::divider(m_group));
    row->setParent(m_group);
    // Rows of one height whatever their control, never less than their content needs.
    row->setMinimumHeight(std::max(minimumRowHeight, row->sizeHint().height()));
    m_rows->addWidget(row);
}

QWidget* FormSection::addRow(const QString& title, QWidget* control, bool fill)
{
    return addCaptionedRow(title, nullptr, control, fill);
}

QHBoxLayout* FormSection::titleLine(const QString& title, QLabel* caption, QWidget* control, bool fill)
{
    auto* line = new QHBoxLayout;
    line->setSpacing(12);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addWidget(PageStyle::label(title, PageStyle::TextStyle::body));
    if (caption)
        titles->addWidget(caption);
    line->addLayout(titles);
    if (!fill)
        line->addStretch();
    line->addWidget(control, fill ? 1 : 0);
    return line;
}

QWidget* FormSection::addCaptionedRow(const QString& title, QLabel* caption, QWidget* control, bool fill)
{
    auto* row = new QWidget;
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->addLayout(titleLine(title, caption, control, fill));
    addRow(row);
    return row;
}

QWidget* FormSection::addFieldRow(const QString& title, QWidget* field, QWidget* below)
{
    auto* row = new QWidget;
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->setSpacing(4);
    layout->addLayout(titleLine(title, nullptr, field, true));
    layout->addWidget(below);
    addRow(row);
    return row;
}
