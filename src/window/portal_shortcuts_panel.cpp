#include "portal_shortcuts_panel.h"

#include "app_state.h"
#include "hotkey_display.h"
#include "hotkey_service.h"
#include "page_style.h"
#include "portal/portal_hotkey_backend.h"

#include <QLabel>
#include <QRegularExpression>
#include <QSet>
#include <QVBoxLayout>

using namespace PageStyle;

namespace {
QString changePlace(DesktopShell::Kind desktop)
{
    const QString gnome = QStringLiteral("Settings → Keyboard → View and Customize Shortcuts");
    const QString kde = QStringLiteral("System Settings → Shortcuts → Tovalin");
    switch (desktop) {
    case DesktopShell::Kind::gnome:
        return QStringLiteral("Change them in %1.").arg(gnome);
    case DesktopShell::Kind::kde:
        return QStringLiteral("Change them in %1.").arg(kde);
    case DesktopShell::Kind::unknown:
        break;
    }
    return QStringLiteral("Change them in the desktop's keyboard settings (GNOME: %1; KDE Plasma: %2).").arg(gnome, kde);
}

QSet<QString> keySet(const QString& trigger)
{
    static const QRegularExpression separators(QStringLiteral("[<>+\\s]+"));
    QSet<QString> keys;
    for (QString key : trigger.toLower().split(separators, Qt::SkipEmptyParts)) {
        if (key == QLatin1String("logo") || key == QLatin1String("meta") || key == QLatin1String("mod4"))
            key = QStringLiteral("super");
        else if (key == QLatin1String("control") || key == QLatin1String("primary"))
            key = QStringLiteral("ctrl");
        else if (key == QLatin1String("mod1"))
            key = QStringLiteral("alt");
        keys.insert(key);
    }
    return keys;
}
} // namespace

PortalShortcutsPanel::PortalShortcutsPanel(AppState& appState, PortalHotkeyBackend& backend,
                                           DesktopShell::Kind desktop, QWidget* parent)
    : QWidget(parent), m_appState(appState), m_backend(backend), m_rows(new QVBoxLayout)
{
    setObjectName(QStringLiteral("portalShortcutsPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(label(QStringLiteral("The desktop binds Tovalin's shortcuts and has the last word: it may ask "
                                           "you to confirm them, or bind other keys. It bound:"),
                            TextStyle::caption, QFont::Normal, true, this));
    m_rows->setSpacing(4);
    layout->addLayout(m_rows);
    QLabel* where = label(changePlace(desktop), TextStyle::caption, QFont::Normal, true, this);
    where->setObjectName(QStringLiteral("portalShortcutsPlace"));
    where->setWordWrap(true);
    layout->addWidget(where);
    connect(&backend, &PortalHotkeyBackend::bindingChanged, this, &PortalShortcutsPanel::refresh);
    connect(&appState, &AppState::commandsChanged, this, &PortalShortcutsPanel::refresh);
    refresh();
}

bool PortalShortcutsPanel::sameKeys(const QString& requested, const QString& described)
{
    return keySet(requested) == keySet(described);
}

void PortalShortcutsPanel::refresh()
{
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    auto addRow = [this](const QString& text, bool problem) {
        QLabel* row = label(text, TextStyle::caption, QFont::Normal, !problem, this);
        row->setObjectName(problem ? QStringLiteral("portalBindingProblem") : QStringLiteral("portalBinding"));
        row->setWordWrap(true);
        row->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (problem)
            setTextTint(row, Tint::red);
        m_rows->addWidget(row);
    };
    if (!m_backend.problem().isEmpty())
        addRow(m_backend.problem(), true);
    else if (m_backend.bound().isEmpty())
        addRow(QStringLiteral("Nothing yet: the desktop has not answered"), false);
    for (const PortalHotkeyBackend::Bound& bound : m_backend.bound()) {
        QString name = QStringLiteral("Palette");
        if (bound.id != HotkeyService::overlayHotkeyId) {
            name = QStringLiteral("A command");
            for (const Command& command : m_appState.commands())
                if (command.hasHotkey()
                    && HotkeyDisplay::linuxLabel(*command.shortcutKeyCode, *command.shortcutModifiers) == bound.label)
                    name = command.name;
        }
        if (bound.trigger.isEmpty())
            addRow(QStringLiteral("%1: not bound (Tovalin asked for %2)").arg(name, bound.label), true);
        else if (!sameKeys(bound.requested, bound.trigger))
            addRow(QStringLiteral("%1: %2, in place of %3").arg(name, bound.trigger, bound.label), true);
        else
            addRow(QStringLiteral("%1: %2").arg(name, bound.trigger), false);
    }
}
