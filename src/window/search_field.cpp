#include "search_field.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

SearchField::SearchField(const QString& placeholder, QWidget* parent)
    : CardFrame(Fill::secondaryTint, 8, parent),
      m_edit(new QLineEdit(this)),
      m_clear(PageStyle::symbolButton(QStringLiteral("xmark.circle.fill"), PageStyle::Tint::secondary, 14,
                                      QStringLiteral("clearSearchButton"), this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(6);
    row->addWidget(new SymbolLabel(QStringLiteral("magnifyingglass"), PageStyle::Tint::secondary, 15, {16, 16}));
    m_edit->setObjectName(QStringLiteral("searchEdit"));
    m_edit->setPlaceholderText(placeholder);
    m_edit->setFrame(false);
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    // The ground of the field is the card's, not the line edit's.
    m_edit->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    row->addWidget(m_edit, 1);
    m_clear->setFixedSize(18, 18);
    m_clear->hide();
    row->addWidget(m_clear);

    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_clear->setVisible(!text.isEmpty());
        emit textChanged(text);
    });
    connect(m_clear, &QToolButton::clicked, m_edit, &QLineEdit::clear);
}

QString SearchField::text() const { return m_edit->text(); }

void SearchField::setText(const QString& text) { m_edit->setText(text); }
