#include "home_view.h"

#include "app_state.h"
#include "hotkey_config.h"
#include "hotkey_display.h"
#include "page_style.h"
#include "provider_setup_card.h"
#include "symbol_icon.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageStyle;

namespace {

// A command's name on one line, ending in an ellipsis when the card is too narrow for it;
// the whole name is its tooltip.
class ElidedName : public QLabel {
public:
    ElidedName(const QString& name, QWidget* parent) : QLabel(name, parent), m_name(name) { setToolTip(name); }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        setText(fontMetrics().elidedText(m_name, Qt::ElideRight, contentsRect().width()));
    }

private:
    QString m_name;
};

// The running application's icon; the tray symbol on an accent tile when it has none.
class AppIconView : public QWidget {
public:
    explicit AppIconView(QWidget* parent) : QWidget(parent) { setFixedSize(64, 64); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QIcon icon = QApplication::windowIcon();
        if (!icon.isNull()) {
            icon.paint(&p, rect(), Qt::AlignCenter);
            return;
        }
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Colors::from(palette()).blue);
        p.drawRoundedRect(QRectF(rect()).adjusted(4, 4, -4, -4), 13, 13);
        SymbolIcon::paint(p, QRectF(rect()), QStringLiteral("keyboard"), Qt::white, 34);
    }
};

// The step number on a blue circle.
class StepNumber : public QWidget {
public:
    StepNumber(int step, QWidget* parent) : QWidget(parent), m_step(step) { setFixedSize(22, 22); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Colors::from(palette()).blue);
        p.drawEllipse(QRectF(rect()));
        p.setPen(Qt::white);
        p.setFont(PageStyle::font(TextStyle::caption2, QFont::Bold));
        p.drawText(rect(), Qt::AlignCenter, QString::number(m_step));
    }

private:
    int m_step;
};

QWidget* miniStatCard(const QString& icon, const QString& title, QLabel* value, Tint tint, QWidget* parent)
{
    auto* card = new CardFrame(CardFrame::Fill::tertiary, 10, parent);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(10);
    row->addWidget(new SymbolLabel(icon, tint, 17, {20, 20}, SymbolLabel::Style::plain, card));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    value->setFont(PageStyle::font(18, QFont::Bold));
    texts->addWidget(value);
    texts->addWidget(label(title, TextStyle::caption2, QFont::Normal, true, card));
    row->addLayout(texts, 1);
    return card;
}

QWidget* stepRow(int step, const QString& icon, const QString& title, const QString& description, QWidget* parent)
{
    auto* w = new QWidget(parent);
    auto* row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(new StepNumber(step, w));
    row->addWidget(new SymbolLabel(icon, Tint::blue, 14, {24, 18}, SymbolLabel::Style::plain, w));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(label(title, TextStyle::subheadline, QFont::Medium, false, w));
    texts->addWidget(label(description, TextStyle::caption2, QFont::Normal, true, w));
    row->addLayout(texts, 1);
    return w;
}

QWidget* quickActionCard(const Command& command, QWidget* parent)
{
    auto* card = new CardFrame(CardFrame::Fill::tertiary, 8, parent);
    card->setObjectName(QStringLiteral("quickActionCard"));
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(10, 8, 10, 8);
    row->setSpacing(8);
    row->addWidget(new SymbolLabel(command.icon, Tint::blue, 13, {24, 24}, SymbolLabel::Style::tile, card));
    auto* name = new ElidedName(command.name, card);
    name->setFont(PageStyle::font(TextStyle::caption, QFont::Medium));
    name->setObjectName(QStringLiteral("quickActionName"));
    name->setMinimumWidth(20);
    name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(name, 1);
    return card;
}

QWidget* keyCap(const QString& key, QWidget* parent)
{
    auto* cap = new CardFrame(CardFrame::Fill::tertiary, 4, parent);
    auto* l = new QHBoxLayout(cap);
    l->setContentsMargins(6, 3, 6, 3);
    auto* text = new QLabel(key, cap);
    text->setObjectName(QStringLiteral("keyCap"));
    text->setFont(PageStyle::font(11, QFont::Medium));
    l->addWidget(text);
    return cap;
}

} // namespace

HomeView::HomeView(AppState& appState, QWidget* parent) : QScrollArea(parent), m_appState(appState)
{
    setObjectName(QStringLiteral("homeView"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(this);
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(24, 24, 24, 24);
    page->setSpacing(20);

    // The default shortcut, as Linux desktops write it; the steps do not follow the setting.
    const QString paletteShortcut = HotkeyDisplay::linuxLabel(HotkeyConfig::defaultConfig().displayString);

    auto* identity = new QHBoxLayout;
    identity->setSpacing(14);
    identity->addWidget(new AppIconView(content));
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    names->addStretch();
    auto* appName = new QLabel(QStringLiteral("Tovalin"), content);
    appName->setFont(PageStyle::font(24, QFont::Bold));
    names->addWidget(appName);
    names->addWidget(label(QStringLiteral("AI-powered text transformation"), TextStyle::subheadline, QFont::Normal,
                           true, content));
    names->addStretch();
    identity->addLayout(names, 1);
    page->addLayout(identity);

    auto* counters = new QHBoxLayout;
    counters->setSpacing(12);
    m_commandCount = new QLabel(content);
    m_commandCount->setObjectName(QStringLiteral("commandCount"));
    m_historyCount = new QLabel(content);
    m_historyCount->setObjectName(QStringLiteral("historyCount"));
    counters->addWidget(miniStatCard(QStringLiteral("command.square.fill"), QStringLiteral("Commands"),
                                     m_commandCount, Tint::blue, content), 1);
    counters->addWidget(miniStatCard(QStringLiteral("clock.fill"), QStringLiteral("History"), m_historyCount,
                                     Tint::orange, content), 1);
    page->addLayout(counters);

    // Above Getting Started while no provider has answered yet.
    page->addWidget(new ProviderSetupCard(m_appState, content));

    auto* started = new QVBoxLayout;
    started->setSpacing(8);
    started->addWidget(sectionHeader(QStringLiteral("Getting Started"), content));
    auto* steps = new CardFrame(CardFrame::Fill::quaternary, 10, content);
    auto* stepList = new QVBoxLayout(steps);
    stepList->setContentsMargins(14, 12, 14, 12);
    stepList->setSpacing(12);
    stepList->addWidget(stepRow(1, QStringLiteral("text.cursor"), QStringLiteral("Select Text"),
                                QStringLiteral("Highlight any text in any application"), steps));
    stepList->addWidget(stepRow(2, QStringLiteral("command"), QStringLiteral("Trigger Tovalin"),
                                QStringLiteral("Press %1 to open command palette").arg(paletteShortcut), steps));
    stepList->addWidget(stepRow(3, QStringLiteral("sparkles"), QStringLiteral("Choose & Transform"),
                                QStringLiteral("Select a command, AI does the rest"), steps));
    started->addWidget(steps);
    page->addLayout(started);

    auto* quick = new QVBoxLayout;
    quick->setSpacing(8);
    auto* quickHeader = new QHBoxLayout;
    quickHeader->addWidget(label(QStringLiteral("Quick Actions"), TextStyle::subheadline, QFont::Normal, false, content));
    quickHeader->addStretch();
    auto* all = new QPushButton(QStringLiteral("All Commands"), content);
    all->setObjectName(QStringLiteral("allCommandsButton"));
    all->setIcon(symbolIcon(QStringLiteral("chevron.right"), Tint::blue));
    all->setLayoutDirection(Qt::RightToLeft); // the chevron follows the text
    all->setFlat(true);
    all->setCursor(Qt::PointingHandCursor);
    all->setStyleSheet(QStringLiteral("QPushButton { border: none; color: palette(link); padding: 2px; }"));
    connect(all, &QPushButton::clicked, this, [this] { m_appState.setCurrentTab(MainTab::commands); });
    quickHeader->addWidget(all);
    quick->addLayout(quickHeader);
    m_quickGrid = new QGridLayout;
    m_quickGrid->setSpacing(10);
    m_quickGrid->setColumnStretch(0, 1);
    m_quickGrid->setColumnStretch(1, 1);
    quick->addLayout(m_quickGrid);
    page->addLayout(quick);

    auto* reminder = new QHBoxLayout;
    reminder->setSpacing(6);
    reminder->addWidget(new SymbolLabel(QStringLiteral("keyboard"), Tint::secondary, 16, {18, 18},
                                        SymbolLabel::Style::plain, content));
    reminder->addWidget(label(QStringLiteral("Press"), TextStyle::body, QFont::Normal, true, content));
    auto* caps = new QHBoxLayout;
    caps->setSpacing(3);
    for (const QString& key : paletteShortcut.split(QLatin1Char('+')))
        caps->addWidget(keyCap(key, content));
    reminder->addLayout(caps);
    reminder->addWidget(label(QStringLiteral("anywhere to start"), TextStyle::body, QFont::Normal, true, content));
    reminder->addStretch();
    page->addLayout(reminder);
    page->addStretch();
    setWidget(content);

    connect(&m_appState, &AppState::commandsChanged, this, &HomeView::updateCounters);
    connect(&m_appState, &AppState::historyChanged, this, &HomeView::updateCounters);
    connect(&m_appState, &AppState::commandsChanged, this, &HomeView::rebuildQuickActions);
    updateCounters();
    rebuildQuickActions();
}

void HomeView::updateCounters()
{
    m_commandCount->setText(QString::number(m_appState.commands().size()));
    m_historyCount->setText(QString::number(m_appState.history().size()));
}

void HomeView::rebuildQuickActions()
{
    while (QLayoutItem* item = m_quickGrid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    int shown = 0;
    for (const Command& command : m_appState.commands()) {
        if (!command.isEnabled)
            continue;
        m_quickGrid->addWidget(quickActionCard(command, widget()), shown / 2, shown % 2);
        if (++shown == quickCommandCount)
            break;
    }
}
