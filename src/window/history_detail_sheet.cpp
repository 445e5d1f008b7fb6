#include "history_detail_sheet.h"

#include "page_style.h"
#include "selectable_text.h"
#include "system_clipboard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

using PageStyle::TextStyle;
using PageStyle::Tint;

namespace {
QWidget* textBlock(const QString& text, QWidget* parent, bool error = false)
{
    auto* panel = new CardFrame(error ? CardFrame::Fill::redTint : CardFrame::Fill::tertiary, 8, parent);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(12, 10, 12, 10);
    auto* body = new SelectableText(text, panel);
    body->setFont(PageStyle::font(TextStyle::body));
    if (error)
        PageStyle::setTextTint(body, Tint::red);
    layout->addWidget(body);
    return panel;
}
} // namespace

HistoryDetailSheet::HistoryDetailSheet(const HistoryItem& item, QWidget* parent)
    : QDialog(parent), m_item(item), m_clipboard(new SystemClipboard(this))
{
    setObjectName(QStringLiteral("historyDetailSheet"));
    QVBoxLayout* layout = PageStyle::setUpSheet(this, item.commandName, QSize(sheetWidth, sheetHeight));

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 12, 12, 12);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(PageStyle::label(item.commandName, TextStyle::headline));
    auto* when = PageStyle::label(QLocale().toString(item.timestamp.toLocalTime(), QLocale::ShortFormat),
                                  TextStyle::caption, QFont::Normal, true);
    when->setObjectName(QStringLiteral("timestampLabel"));
    titles->addWidget(when);
    header->addLayout(titles);
    header->addStretch();
    QToolButton* dismiss = PageStyle::symbolButton(QStringLiteral("xmark.circle.fill"), Tint::secondary, 20,
                                                   QStringLiteral("dismissButton"), this);
    connect(dismiss, &QToolButton::clicked, this, &QDialog::reject);
    header->addWidget(dismiss, 0, Qt::AlignTop);
    layout->addLayout(header);
    layout->addWidget(PageStyle::divider(this));

    auto* content = new QWidget;
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(16, 16, 16, 16);
    sections->setSpacing(20);
    sections->addWidget(textSection(tr("Original Text"), QStringLiteral("text.alignleft"), item.originalText,
                                    QStringLiteral("copyOriginalButton")));
    sections->addWidget(textSection(tr("Result"), QStringLiteral("sparkles"), item.resultText,
                                    QStringLiteral("copyResultButton")));
    if (item.errorMessage)
        sections->addWidget(errorSection(*item.errorMessage));
    sections->addStretch();
    QScrollArea* scroll = PageStyle::scrollArea(content, this);
    layout->addWidget(scroll, 1);
    layout->addWidget(PageStyle::divider(this));

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(16, 12, 16, 12);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Escape));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    footer->addWidget(close);
    footer->addStretch();
    auto* copyResult = new QPushButton(PageStyle::symbolIcon(QStringLiteral("doc.on.doc"), Tint::white),
                                       tr("Copy Result"), this);
    copyResult->setObjectName(QStringLiteral("copyResultFooterButton"));
    copyResult->setAutoDefault(false);
    PageStyle::makeProminent(copyResult);
    connect(copyResult, &QPushButton::clicked, this, [this] { copy(m_item.resultText); });
    footer->addWidget(copyResult);
    layout->addLayout(footer);
}

QWidget* HistoryDetailSheet::textSection(const QString& title, const QString& symbol, const QString& text,
                                         const QString& copyButtonName)
{
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    heading->addWidget(new SymbolLabel(symbol, Tint::primary, 14, {17, 17}));
    heading->addWidget(PageStyle::label(title, TextStyle::subheadline, QFont::Medium, false, section));
    heading->addStretch();
    QToolButton* copyButton = PageStyle::symbolButton(QStringLiteral("doc.on.doc"), Tint::secondary, 16,
                                                      copyButtonName, section);
    copyButton->setToolTip(tr("Copy"));
    connect(copyButton, &QToolButton::clicked, this, [this, text] { copy(text); });
    heading->addWidget(copyButton);
    layout->addLayout(heading);
    layout->addWidget(textBlock(text, section));
    return section;
}

QWidget* HistoryDetailSheet::errorSection(const QString& message)
{
    auto* section = new QWidget;
    section->setObjectName(QStringLiteral("errorSection"));
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    heading->addWidget(new SymbolLabel(QStringLiteral("exclamationmark.triangle"), Tint::red, 14, {17, 17}));
    QLabel* title = PageStyle::label(tr("Error"), TextStyle::subheadline, QFont::Medium, false, section);
    PageStyle::setTextTint(title, Tint::red);
    heading->addWidget(title);
    heading->addStretch();
    layout->addLayout(heading);
    layout->addWidget(textBlock(message, section, true));
    return section;
}

void HistoryDetailSheet::copy(const QString& text)
{
    m_clipboard->setText(text);
}
