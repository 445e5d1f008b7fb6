#include "desktop_shortcuts_panel.h"

#include "app_state.h"
#include "hotkey_display.h"
#include "page_style.h"
#include "wayland/wayland_compositor_lines.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageStyle;

namespace {
const QString gnomeHowTo = QStringLiteral(
    "In GNOME: Settings → Keyboard → View and Customize Shortcuts → Custom Shortcuts → \"+\": a name, the command "
    "line and the keys.");
const QString kdeHowTo = QStringLiteral(
    "In KDE Plasma 6: System Settings → Shortcuts → Add New → Command or Script. In Plasma 5.27: System Settings → "
    "Custom Shortcuts → Edit → New → Global Shortcut → Command/URL, the keys on the Trigger tab and the command line "
    "on the Action tab.");
} // namespace

DesktopShortcutsPanel::DesktopShortcutsPanel(AppState& appState, DesktopShell::Kind desktop, QWidget* parent)
    : QWidget(parent), m_appState(appState), m_rows(new QVBoxLayout)
{
    setObjectName(QStringLiteral("desktopShortcutsPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    QString intro = QStringLiteral("This desktop offers programs no global shortcuts: bind keys to Tovalin's command "
                                   "lines in its own settings. ") + howTo(desktop);
    // Through XWayland the recorded hotkeys still fire, but only while an X11 window has the focus.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        intro += QStringLiteral(" The hotkeys above work only while an X11 window has the focus.");
    QLabel* text = label(intro, TextStyle::caption, QFont::Normal, true, this);
    text->setObjectName(QStringLiteral("desktopShortcutsHowTo"));
    text->setWordWrap(true);
    layout->addWidget(text);
    m_rows->setSpacing(6);
    layout->addLayout(m_rows);
    connect(&appState, &AppState::settingsChanged, this, &DesktopShortcutsPanel::refresh);
    connect(&appState, &AppState::commandsChanged, this, &DesktopShortcutsPanel::refresh);
    refresh();
}

QString DesktopShortcutsPanel::howTo(DesktopShell::Kind desktop)
{
    switch (desktop) {
    case DesktopShell::Kind::gnome:
        return gnomeHowTo;
    case DesktopShell::Kind::kde:
        return kdeHowTo;
    case DesktopShell::Kind::unknown:
        break;
    }
    return gnomeHowTo + QLatin1Char(' ') + kdeHowTo;
}

void DesktopShortcutsPanel::refresh()
{
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    auto addRow = [this](const QString& title, const QString& commandLine) {
        auto* row = new QWidget(this);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(8);
        QLabel* name = label(title, TextStyle::caption, QFont::Medium, false, row);
        name->setMinimumWidth(150);
        line->addWidget(name);
        auto* field = new QLineEdit(commandLine, row);
        field->setObjectName(QStringLiteral("commandLine"));
        field->setReadOnly(true);
        field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        line->addWidget(field, 1);
        auto* copy = new QPushButton(QStringLiteral("Copy"), row);
        copy->setObjectName(QStringLiteral("copyCommandLine"));
        copy->setAutoDefault(false);
        connect(copy, &QPushButton::clicked, row, [commandLine] { QGuiApplication::clipboard()->setText(commandLine); });
        line->addWidget(copy);
        m_rows->addWidget(row);
    };
    addRow(QStringLiteral("Palette (%1)").arg(HotkeyDisplay::linuxLabel(m_appState.settings().overlayHotkey.displayString)),
           WaylandCompositorLines::remoteCommand());
    for (const Command& command : m_appState.commands())
        if (command.hasHotkey())
            addRow(QStringLiteral("%1 (%2)").arg(command.name,
                                                  HotkeyDisplay::linuxLabel(*command.shortcutKeyCode,
                                                                            *command.shortcutModifiers)),
                   WaylandCompositorLines::remoteCommand(command.name));
}
