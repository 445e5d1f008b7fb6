#include "hotkeys_view.h"

#include "app_state.h"
#include "console.h"
#include "desktop_shortcuts_panel.h"
#include "hotkey_config.h"
#include "hotkey_display.h"
#include "hotkey_recorder_button.h"
#include "hotkey_registry.h"
#include "page_style.h"
#include "portal/portal_hotkey_backend.h"
#include "portal/portal_keyboard.h"
#include "portal_shortcuts_panel.h"
#include "tip_row.h"
#include "wayland/wayland_compositor_lines.h"
#include "wayland_bindings_panel.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

using namespace PageStyle;

namespace {

// A section of the grouped form: a symbol and a title above a rounded card.
QVBoxLayout* addSection(QVBoxLayout* page, const QString& title, const QString& symbol, QWidget* parent)
{
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(new SymbolLabel(symbol, Tint::secondary, 13, {16, 16}, SymbolLabel::Style::plain, parent));
    header->addWidget(label(title, TextStyle::subheadline, QFont::Medium, true, parent));
    header->addStretch();
    page->addLayout(header);
    auto* card = new CardFrame(CardFrame::Fill::tertiary, 8, parent);
    auto* content = new QVBoxLayout(card);
    content->setContentsMargins(14, 12, 14, 12);
    content->setSpacing(10);
    page->addWidget(card);
    page->addSpacing(10);
    return content;
}

} // namespace

HotkeysView::HotkeysView(AppState& appState, RegisterOverlayHotkey registerOverlayHotkey, QWidget* parent)
    : QScrollArea(parent),
      m_appState(appState),
      m_registerOverlayHotkey(std::move(registerOverlayHotkey)),
      m_recorder(new HotkeyRecorderButton(HotkeyRecorderButton::pageLook)),
      m_reset(new QPushButton(QStringLiteral("Reset to Default"))),
      m_problem(label(QString(), TextStyle::caption))
{
    setObjectName(QStringLiteral("hotkeysView"));
    setWindowTitle(QStringLiteral("Hotkeys"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    auto* content = new QWidget(this);
    content->setAutoFillBackground(false);
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(24, 24, 24, 24);
    page->setSpacing(8);

    page->addWidget(label(QStringLiteral("Hotkeys"), TextStyle::title2, QFont::Bold, false, content));
    page->addWidget(label(QStringLiteral("Configure global keyboard shortcuts"), TextStyle::body, QFont::Normal, true,
                          content));
    page->addSpacing(14);

    QVBoxLayout* shortcut = addSection(page, QStringLiteral("Global Shortcut"), QStringLiteral("keyboard"), content);
    auto* trigger = new QHBoxLayout;
    trigger->setSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(label(QStringLiteral("Trigger Overlay"), TextStyle::body, QFont::Medium, false, content));
    texts->addWidget(label(QStringLiteral("Opens the command overlay from anywhere"), TextStyle::caption,
                           QFont::Normal, true, content));
    trigger->addLayout(texts, 1);
    m_recorder->setParent(content);
    m_recorder->setObjectName(QStringLiteral("overlayHotkeyRecorder"));
    trigger->addWidget(m_recorder, 0, Qt::AlignVCenter);
    shortcut->addLayout(trigger);
    m_problem->setParent(content);
    m_problem->setObjectName(QStringLiteral("hotkeyProblem"));
    m_problem->setWordWrap(true);
    setTextTint(m_problem, Tint::red);
    shortcut->addWidget(m_problem);
    shortcut->addWidget(divider(content));
    m_reset->setParent(content);
    m_reset->setObjectName(QStringLiteral("resetHotkeyButton"));
    m_reset->setCursor(Qt::PointingHandCursor);
    m_reset->setAutoDefault(false);
    colorResetButton();
    shortcut->addWidget(m_reset, 0, Qt::AlignLeft);
    if (QWidget* panel = waylandPanel(content))
        shortcut->addWidget(panel);

    QVBoxLayout* tips = addSection(page, QStringLiteral("Tips"), QStringLiteral("lightbulb"), content);
    tips->setSpacing(12);
    // The default as Linux desktops write it; the label already spells out every key.
    const QString defaultLabel = HotkeyDisplay::linuxLabel(HotkeyConfig::defaultConfig().displayString);
    tips->addWidget(new TipRow(QStringLiteral("info.circle"), QStringLiteral("Default Shortcut"),
                               QStringLiteral("The default shortcut is %1").arg(defaultLabel), content));
    tips->addWidget(new TipRow(QStringLiteral("exclamationmark.triangle"), QStringLiteral("Accessibility Permission"),
                               QStringLiteral("Global hotkeys require accessibility permission to work properly"),
                               content));
    tips->addWidget(new TipRow(QStringLiteral("keyboard"), QStringLiteral("Recording a New Shortcut"),
                               QStringLiteral("Click the shortcut button and press your desired key combination"),
                               content));
    page->addStretch();
    setWidget(content);

    m_recorder->setCheck([this](uint16_t keyCode, uint64_t modifiers) {
        // The palette's own combination recorded again is no clash.
        return m_appState.hotkeyClash(keyCode, modifiers);
    });
    connect(m_recorder, &HotkeyRecorderButton::recorded, this, &HotkeysView::record);
    connect(m_recorder, &HotkeyRecorderButton::refused, m_problem, [this](const QString& reason) {
        m_problem->setText(reason);
        m_problem->show();
    });
    // A refusal stays in view until the next recording starts.
    connect(m_recorder, &HotkeyRecorderButton::isRecordingChanged, this, [this](bool recording) {
        if (recording)
            showProblems();
    });
    connect(m_reset, &QPushButton::clicked, this, &HotkeysView::resetToDefault);
    connect(&m_appState, &AppState::settingsChanged, this, &HotkeysView::showStoredHotkey);
    connect(&m_appState, &AppState::commandsChanged, this, &HotkeysView::showProblems);
    showStoredHotkey();
}

QWidget* HotkeysView::waylandPanel(QWidget* parent)
{
    // The desktop binds the keys through its portal: the recorder says what to ask for.
    if (PortalHotkeyBackend* portal = PortalHotkeyBackend::inUse())
        return new PortalShortcutsPanel(m_appState, *portal, DesktopShell::session(), parent);
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
        && environment.value(QStringLiteral("XDG_SESSION_TYPE")) != QLatin1String("wayland"))
        return nullptr;
    // Natively nothing else holds the keys: the lines to bind them in place of a recorder.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        m_recorder->hide();
        m_reset->hide();
        // A compositor with a virtual keyboard of its own (wlroots) binds keys in its
        // configuration; one Tovalin types into through the portal is GNOME or KDE.
        if (!PortalKeyboard::inUse())
            return new WaylandBindingsPanel(m_appState, parent);
    } else if (WaylandCompositorLines(environment).compositor() != WaylandCompositorLines::Compositor::other) {
        return new WaylandBindingsPanel(m_appState, parent); // sway or Hyprland, Tovalin through XWayland
    }
    return new DesktopShortcutsPanel(m_appState, DesktopShell::session(), parent);
}

void HotkeysView::showStoredHotkey()
{
    m_recorder->setDisplayString(m_appState.settings().overlayHotkey.displayString);
    showProblems();
}

void HotkeysView::showProblems()
{
    // Asked of the window system each time: a combination we hold is fine, one that another
    // program took since is not.
    QStringList lines;
    const HotkeyConfig& palette = m_appState.settings().overlayHotkey;
    if (HotkeyRegistry* hotkeys = m_appState.hotkeys(); hotkeys && palette.modifiers <= 0xFFFFFFFFu) {
        if (const QString reason = hotkeys->refusalReason(palette.keyCode, uint32_t(palette.modifiers));
            !reason.isEmpty())
            lines << QStringLiteral("The palette hotkey does not work: ") + reason;
    }
    for (const Command& command : m_appState.commands()) {
        if (const QString reason = m_appState.hotkeyProblem(command.id); !reason.isEmpty())
            lines << QStringLiteral("%1 (%2) does not work: %3")
                         .arg(command.name, HotkeyDisplay::linuxLabel(command.shortcut.value_or(QString())), reason);
    }
    m_problem->setText(lines.join(QLatin1Char('\n')));
    m_problem->setVisible(!lines.isEmpty());
}

void HotkeysView::record(uint16_t keyCode, uint64_t modifiers)
{
    AppSettings settings = m_appState.settings();
    settings.overlayHotkey = {keyCode, modifiers, HotkeyDisplay::displayString(keyCode, modifiers)};
    m_appState.setSettings(settings);
    m_appState.saveSettings();
    // A refusal keeps what was recorded: the user sees what they chose, and the next
    // start falls back to the default for the session.
    if (m_registerOverlayHotkey && !m_registerOverlayHotkey(keyCode, uint32_t(modifiers)))
        Console::line(QStringLiteral("Failed to register new hotkey"));
    showProblems();
}

void HotkeysView::resetToDefault()
{
    const HotkeyConfig defaults = HotkeyConfig::defaultConfig();
    AppSettings settings = m_appState.settings();
    settings.overlayHotkey = defaults;
    m_appState.setSettings(settings);
    m_appState.saveSettings();
    if (m_registerOverlayHotkey)
        m_registerOverlayHotkey(defaults.keyCode, uint32_t(defaults.modifiers));
    showProblems();
}

void HotkeysView::changeEvent(QEvent* event)
{
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        colorResetButton();
}

void HotkeysView::colorResetButton()
{
    // Plain red text, like a destructive row of a form; redone when the theme changes.
    m_reset->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; padding: 2px 0;"
                                          " color: %1; }")
                               .arg(Colors::from(palette()).red.name()));
}
