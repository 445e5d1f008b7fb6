#include "history_detail_sheet.h"

#include "page_style.h"
#include "rounded_panel.h"
#include "selectable_text.h"
#include "symbol_icon.h"
#include "symbol_label.h"
#include "system_clipboard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

using PageStyle::Text;

namespace {
QToolButton* plainSymbolButton(const QString& symbol, const QString& objectName, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(SymbolIcon::icon(symbol, QPalette::PlaceholderText));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QWidget* textBlock(const QString& text, QWidget* parent, const QColor& fill = {},
                   const QColor& color = {})
{
    auto* panel = new RoundedPanel(parent);
    if (fill.isValid())
        panel->setFill(fill);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(12, 10, 12, 10);
    auto* body = new SelectableText(text, panel);
    body->setFont(PageStyle::font(Text::body));
    if (color.isValid())
        PageStyle::setTextColor(body, color);
    layout->addWidget(body);
    return panel;
}
} // namespace

HistoryDetailSheet::HistoryDetailSheet(const HistoryItem& item, QWidget* parent)
    : QDialog(parent), m_item(item), m_clipboard(new SystemClipboard(this))
{
    setObjectName(QStringLiteral("historyDetailSheet"));
    QVBoxLayout* layout = PageStyle::sheetLayout(this, item.commandName, QSize(sheetWidth, sheetHeight));

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 12, 12, 12);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(PageStyle::label(item.commandName, Text::headline));
    auto* when = PageStyle::secondaryLabel(
        QLocale().toString(item.timestamp.toLocalTime(), QLocale::ShortFormat), Text::caption);
    when->setObjectName(QStringLiteral("timestampLabel"));
    titles->addWidget(when);
    header->addLayout(titles);
    header->addStretch();
    QToolButton* dismiss = plainSymbolButton(QStringLiteral("xmark.circle.fill"), QStringLiteral("dismissButton"), this);
    dismiss->setIconSize(QSize(20, 20));
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
    auto* copyResult = new QPushButton(SymbolIcon::icon(QStringLiteral("doc.on.doc"), QColor(Qt::white)),
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
    heading->addWidget(new SymbolLabel(symbol, 14, QPalette::WindowText, section));
    heading->addWidget(PageStyle::label(title, Text::subheadline, QFont::Medium, section));
    heading->addStretch();
    QToolButton* copyButton = plainSymbolButton(QStringLiteral("doc.on.doc"), copyButtonName, section);
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
    heading->addWidget(new SymbolLabel(QStringLiteral("exclamationmark.triangle"), 14, PageStyle::red(), section));
    QLabel* title = PageStyle::label(tr("Error"), Text::subheadline, QFont::Medium, section);
    PageStyle::setTextColor(title, PageStyle::red());
    heading->addWidget(title);
    heading->addStretch();
    layout->addLayout(heading);
    QColor fill = PageStyle::red();
    fill.setAlphaF(0.1f);
    layout->addWidget(textBlock(message, section, fill, PageStyle::red()));
    return section;
}

void HistoryDetailSheet::copy(const QString& text)
{
    m_clipboard->setText(text);
}
