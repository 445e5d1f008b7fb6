#include "content_view.h"

#include "accessibility_permission_view.h"
#include "detail_view.h"
#include "page_style.h"
#include "sidebar.h"

#include <QCloseEvent>
#include <QSplitter>
#include <QStackedLayout>

ContentView::ContentView(AppState& appState, Permission permission,
                         HotkeysView::RegisterOverlayHotkey registerOverlayHotkey, QWidget* parent)
    : QWidget(parent),
      m_appState(appState),
      m_permission(std::move(permission)),
      m_registerOverlayHotkey(std::move(registerOverlayHotkey)),
      m_stack(new QStackedLayout(this))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Tovalin"));
    setWindowFlag(Qt::Window);
    setMinimumSize(800, 500);
    resize(900, 600);
}

void ContentView::bringForward()
{
    // show() leaves a minimised window iconic, and X11 defers the activation of an unmapped
    // window until it is mapped again; clearing the state maps it, and the activation follows.
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Asked anew each time the window comes on screen, never while it stays there.
    m_hasAccessibilityPermission = !m_permission.check || m_permission.check();
    if (m_hasAccessibilityPermission) {
        showTabs();
        return;
    }
    if (!m_permissionView) {
        m_permissionView = new AccessibilityPermissionView(m_permission.check, m_permission.openSettings, this);
        connect(m_permissionView, &AccessibilityPermissionView::permissionGranted, this, [this] {
            m_hasAccessibilityPermission = true;
            showTabs();
        });
        m_stack->addWidget(m_permissionView);
    }
    m_stack->setCurrentWidget(m_permissionView);
}

void ContentView::showTabs()
{
    if (!m_split) {
        m_split = new QSplitter(Qt::Horizontal, this);
        m_split->setObjectName(QStringLiteral("split"));
        m_split->setChildrenCollapsible(false);
        m_split->setHandleWidth(1);
        auto* sidebarPane = new CardFrame(CardFrame::Fill::quaternary, 0, m_split);
        m_sidebar = new Sidebar(m_appState, sidebarPane);
        auto* paneLayout = new QStackedLayout(sidebarPane);
        paneLayout->addWidget(m_sidebar);
        m_detail = new DetailView(m_appState, m_registerOverlayHotkey, m_split);
        m_split->addWidget(sidebarPane);
        m_split->addWidget(m_detail);
        m_split->setStretchFactor(1, 1);
        m_split->setSizes({Sidebar::defaultWidth, width() - Sidebar::defaultWidth});
        m_stack->addWidget(m_split);
    }
    if (!m_detail->page())
        m_detail->showCurrentTab();
    m_stack->setCurrentWidget(m_split);
}

void ContentView::closeEvent(QCloseEvent* event)
{
    // Tovalin keeps running; the page goes, so the next opening starts it afresh.
    if (m_detail)
        m_detail->dropPage();
    event->accept();
}
