#include "detail_view.h"

#include "app_state.h"
#include "commands_view.h"
#include "history_view.h"
#include "home_view.h"
#include "hotkeys_view.h"
#include "placeholder_page.h"
#include "settings_view.h"

#include <QVBoxLayout>

QWidget* DetailView::createPage(MainTab tab, AppState& appState,
                               const HotkeysView::RegisterOverlayHotkey& registerOverlayHotkey, QWidget* parent)
{
    switch (tab) {
    case MainTab::home: return new HomeView(appState, parent);
    case MainTab::commands: return new CommandsView(appState, parent);
    case MainTab::hotkeys: return new HotkeysView(appState, registerOverlayHotkey, parent);
    case MainTab::history: return new HistoryView(appState, parent);
    case MainTab::settings: return new SettingsView(appState, parent);
    }
    return nullptr;
}

DetailView::DetailView(AppState& appState, HotkeysView::RegisterOverlayHotkey registerOverlayHotkey, QWidget* parent)
    : QWidget(parent),
      m_appState(appState),
      m_registerOverlayHotkey(std::move(registerOverlayHotkey)),
      m_layout(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("detailView"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    connect(&m_appState, &AppState::currentTabChanged, this, [this] {
        if (m_page)
            showCurrentTab();
    });
}

void DetailView::showCurrentTab()
{
    QWidget* next = createPage(m_appState.currentTab(), m_appState, m_registerOverlayHotkey, this);
    if (m_page) {
        m_layout->removeWidget(m_page);
        // Later: the page may be the sender of the click that switched tabs.
        m_page->hide();
        m_page->deleteLater();
    }
    m_page = next;
    m_layout->addWidget(m_page);
}

void DetailView::dropPage()
{
    if (!m_page)
        return;
    m_layout->removeWidget(m_page);
    m_page->deleteLater();
    m_page = nullptr;
}
