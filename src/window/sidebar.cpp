#include "sidebar.h"

#include "app_state.h"
#include "page_style.h"

namespace {
constexpr int kTabRole = Qt::UserRole + 1;
}

QString Sidebar::label(MainTab tab)
{
    return rawValue(tab);
}

Sidebar::Sidebar(AppState& appState, QWidget* parent) : QListWidget(parent), m_appState(appState)
{
    setObjectName(QStringLiteral("sidebar"));
    setMinimumWidth(minimumWidth);
    setFrameShape(QFrame::NoFrame);
    setIconSize(QSize(16, 16));
    setSpacing(1);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral(
        "QListWidget { background: transparent; padding: 8px 6px; outline: 0; }"
        "QListWidget::item { padding: 5px 6px; border: none; border-radius: 6px; color: palette(window-text); }"
        "QListWidget::item:hover { background: rgba(127, 127, 127, 0.12); }"
        "QListWidget::item:selected { background: palette(highlight); color: white; }"));
    for (MainTab tab : allMainTabs) {
        if (tab == MainTab::settings) { // the second, untitled section
            auto* gap = new QListWidgetItem(this);
            gap->setFlags(Qt::NoItemFlags);
            gap->setSizeHint(QSize(10, 14));
        }
        auto* item = new QListWidgetItem(PageStyle::symbolIcon(icon(tab), PageStyle::Tint::blue), label(tab), this);
        item->setData(kTabRole, int(tab));
    }
    connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item && item->data(kTabRole).isValid() && MainTab(item->data(kTabRole).toInt()) != m_appState.currentTab())
            m_appState.setCurrentTab(MainTab(item->data(kTabRole).toInt()));
    });
    connect(&m_appState, &AppState::currentTabChanged, this, &Sidebar::followStore);
    followStore();
}

void Sidebar::followStore()
{
    for (int row = 0; row < count(); ++row) {
        if (item(row)->data(kTabRole) == int(m_appState.currentTab())) {
            setCurrentRow(row);
            return;
        }
    }
}

std::optional<MainTab> Sidebar::selectedTab() const
{
    const QListWidgetItem* item = currentItem();
    if (!item || !item->data(kTabRole).isValid())
        return std::nullopt;
    return MainTab(item->data(kTabRole).toInt());
}
