#include "wayland_bindings_panel.h"

#include "app_state.h"
#include "hotkey_display.h"
#include "page_style.h"
#include "wayland/wayland_compositor_lines.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageStyle;

WaylandBindingsPanel::WaylandBindingsPanel(AppState& appState, QWidget* parent)
    : QWidget(parent), m_appState(appState), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("waylandBindingsPanel"));
    const WaylandCompositorLines lines(QProcessEnvironment::systemEnvironment());
    const QString where = lines.configFile().isEmpty() ? QStringLiteral("your compositor's configuration")
                                                       : lines.configFile();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(label(QStringLiteral("On Wayland no program can take keys for the whole desktop: the "
                                           "compositor's own bindings run Tovalin. Add these lines to %1 and "
                                           "reload it.").arg(where),
                            TextStyle::caption, QFont::Normal, true, this));
    m_text->setObjectName(QStringLiteral("waylandBindings"));
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFixedHeight(130);
    layout->addWidget(m_text);
    auto* copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("copyWaylandBindings"));
    copy->setAutoDefault(false);
    layout->addWidget(copy, 0, Qt::AlignLeft);
    connect(copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(m_text->toPlainText()); });
    connect(&m_appState, &AppState::settingsChanged, this, &WaylandBindingsPanel::refresh);
    connect(&m_appState, &AppState::commandsChanged, this, &WaylandBindingsPanel::refresh);
    refresh();
}

void WaylandBindingsPanel::refresh()
{
    m_text->setPlainText(configText(WaylandCompositorLines(QProcessEnvironment::systemEnvironment()), m_appState));
}

QString WaylandBindingsPanel::configText(const WaylandCompositorLines& lines, const AppState& appState)
{
    QStringList text;
    text << lines.binding(HotkeyDisplay::linuxLabel(appState.settings().overlayHotkey.displayString));
    for (const Command& command : appState.commands())
        if (command.hasHotkey())
            text << lines.binding(HotkeyDisplay::linuxLabel(*command.shortcutKeyCode, *command.shortcutModifiers),
                                  command.name);
    text << lines.floatRule();
    return text.join(QLatin1Char('\n'));
}
