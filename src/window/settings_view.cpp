#include "settings_view.h"

#include "ai_model_settings_sheet.h"
#include "app_state.h"
#include "autostart_entry.h"
#include "selection_access.h"
#include "external_links.h"
#include "form_section.h"
#include "page_style.h"
#include "portal/portal_keyboard.h"
#include "toggle_switch.h"
#include "typing_permission_row.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

using PageStyle::TextStyle;
using PageStyle::Tint;

namespace {
constexpr int kOpacityScale = 100;

QPushButton* linkRow(const QString& title, const QString& objectName, const QUrl& url)
{
    auto* row = new QPushButton;
    row->setObjectName(objectName);
    row->setFlat(true);
    row->setCursor(Qt::PointingHandCursor);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 8, 0, 8);
    QLabel* label = PageStyle::label(title, TextStyle::body, QFont::Normal, false, row);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(label);
    layout->addStretch();
    auto* arrow = new SymbolLabel(QStringLiteral("arrow.up.right"), Tint::secondary, 14, {17, 17}, SymbolLabel::Style::plain, row);
    arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(arrow);
    QObject::connect(row, &QPushButton::clicked, row, [url] { QDesktopServices::openUrl(url); });
    return row;
}
} // namespace

SettingsView::SettingsView(AppState& appState, QWidget* parent)
    : QWidget(parent), m_appState(appState), m_autostartWatch(new QFileSystemWatcher(this))
{
    setObjectName(QStringLiteral("settingsView"));
    auto* content = new QWidget;
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(24, 16, 24, 24);
    sections->setSpacing(20);
    sections->addWidget(PageStyle::label(tr("Settings"), TextStyle::title2, QFont::Bold));
    if (QLabel* notice = unreadableNotice())
        sections->addWidget(notice);
    sections->addWidget(aiModelSection());
    sections->addWidget(permissionsSection());
    sections->addWidget(appearanceSection());
    // "Haptic feedback" and "Show in Dock" have nothing to act on on Linux: they keep their
    // stored values and are not shown.
    sections->addWidget(switchesSection(tr("Behavior"), QStringLiteral("gearshape"),
                                        {{tr("Auto-close overlay after command"), &AppSettings::autoCloseOverlay},
                                         {tr("Sound effects"), &AppSettings::soundEnabled},
                                         {tr("Type to filter or ask in the palette"), &AppSettings::typeToAskInPalette, true},
                                         {tr("Restore clipboard after pasting"), &AppSettings::restoreClipboard, false}}));
    sections->addWidget(switchesSection(tr("System"), QStringLiteral("desktopcomputer"),
                                        {{tr("Launch at login"), &AppSettings::launchAtLogin},
                                         {tr("Show in menu bar"), &AppSettings::showInMenuBar}}));
    sections->addWidget(aboutSection());
    sections->addStretch();

    QScrollArea* scroll = PageStyle::scrollArea(content, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    connect(&m_appState, &AppState::settingsChanged, this, &SettingsView::showSettings);
    // Permission granted in the desktop's settings shows up on the way back.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            checkPermission();
    });
    connect(m_autostartWatch, &QFileSystemWatcher::fileChanged, this, &SettingsView::followAutostartEntry);
    connect(m_autostartWatch, &QFileSystemWatcher::directoryChanged, this, &SettingsView::followAutostartEntry);
    showSettings();
    checkPermission();
}

QString SettingsView::providerSummary(const AppSettings& settings)
{
    if (settings.aiProvider == AIProvider::tovalin)
        return displayName(settings.aiProvider);
    return displayName(settings.aiProvider) + QStringLiteral(" - ") + settings.selectedModel;
}

QLabel* SettingsView::unreadableNotice()
{
    const auto& unreadable = m_appState.unreadableSettings();
    if (!unreadable)
        return nullptr;
    // The file's name keeps the line short; the tooltip has the full paths and the reason.
    const QString text = unreadable->keptAs.isEmpty()
        ? tr("Your settings could not be read, so defaults are in use.")
        : tr("Your settings could not be read, so defaults are in use; the unreadable file will be kept as %1.")
              .arg(QFileInfo(unreadable->keptAs).fileName());
    QLabel* notice = PageStyle::label(text, TextStyle::caption);
    notice->setObjectName(QStringLiteral("unreadableSettingsNotice"));
    notice->setToolTip(QStringLiteral("%1: %2\n%3").arg(unreadable->location, unreadable->reason, unreadable->keptAs));
    notice->setWordWrap(true);
    PageStyle::setTextTint(notice, Tint::orange);
    return notice;
}

FormSection* SettingsView::aiModelSection()
{
    auto* section = new FormSection(tr("AI Model"), QStringLiteral("cpu"));
    m_providerSummary = PageStyle::label(QString(), TextStyle::caption, QFont::Normal, true);
    m_providerSummary->setObjectName(QStringLiteral("providerSummary"));
    auto* configure = new QPushButton(tr("Configure"));
    configure->setObjectName(QStringLiteral("configureButton"));
    connect(configure, &QPushButton::clicked, this, &SettingsView::openAISettings);
    section->addCaptionedRow(tr("AI Provider"), m_providerSummary, configure);
    return section;
}

FormSection* SettingsView::permissionsSection()
{
    auto* section = new FormSection(tr("Permissions"), QStringLiteral("lock.shield"));
    // Where Tovalin types through the desktop's portal, the desktop's answer is the permission.
    if (PortalKeyboard* keyboard = PortalKeyboard::inUse()) {
        QLabel* caption = PageStyle::label(tr("Tovalin needs permission to type the answer into your window"),
                                           TextStyle::caption, QFont::Normal, true);
        caption->setWordWrap(true);
        section->addCaptionedRow(tr("Typing into windows"), caption, new TypingPermissionRow(*keyboard));
        return section;
    }
    // Either the green "Granted" or the "Enable" button shows, as the last check found.
    auto* state = new QWidget;
    auto* layout = new QHBoxLayout(state);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_granted = new QWidget;
    m_granted->setObjectName(QStringLiteral("grantedLabel"));
    auto* grantedLayout = new QHBoxLayout(m_granted);
    grantedLayout->setContentsMargins(0, 0, 0, 0);
    grantedLayout->setSpacing(4);
    grantedLayout->addWidget(new SymbolLabel(QStringLiteral("checkmark.circle.fill"), Tint::green, 13, {16, 16}));
    QLabel* granted = PageStyle::label(tr("Granted"), TextStyle::caption);
    PageStyle::setTextTint(granted, Tint::green);
    grantedLayout->addWidget(granted);
    layout->addWidget(m_granted);
    m_enable = new QPushButton(tr("Enable"));
    m_enable->setObjectName(QStringLiteral("enableButton"));
    PageStyle::makeProminent(m_enable, Tint::orange);
    connect(m_enable, &QPushButton::clicked, this, [this] {
        if (SelectionAccess* access = m_appState.accessibilityService())
            access->openAccessibilitySettings();
    });
    layout->addWidget(m_enable);
    section->addCaptionedRow(tr("Accessibility"),
                             PageStyle::label(tr("Required to read selected text and paste results"),
                                              TextStyle::caption, QFont::Normal, true),
                             state);
    return section;
}

QWidget* SettingsView::labelledSlider(QSlider* slider, const QString& low, const QString& high)
{
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    // End labels of one width, so the sliders of a section line up.
    const QFontMetrics metrics(PageStyle::font(TextStyle::caption));
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("100%"));
    QLabel* lowLabel = PageStyle::label(low, TextStyle::caption, QFont::Normal, true);
    lowLabel->setFixedWidth(labelWidth);
    lowLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(lowLabel);
    slider->setOrientation(Qt::Horizontal);
    slider->setFixedWidth(220);
    layout->addWidget(slider);
    QLabel* highLabel = PageStyle::label(high, TextStyle::caption, QFont::Normal, true);
    highLabel->setFixedWidth(labelWidth);
    layout->addWidget(highLabel);
    return box;
}

FormSection* SettingsView::appearanceSection()
{
    auto* section = new FormSection(tr("Appearance"), QStringLiteral("paintbrush"));
    m_theme = new QComboBox;
    m_theme->setObjectName(QStringLiteral("themePicker"));
    for (AppTheme t : allAppThemes)
        m_theme->addItem(displayName(t), int(t));
    connect(m_theme, &QComboBox::currentIndexChanged, this, [this](int index) {
        const auto theme = AppTheme(m_theme->itemData(index).toInt());
        change([theme](AppSettings& s) { s.theme = theme; });
    });
    section->addRow(tr("Theme"), m_theme);

    m_opacity = new QSlider;
    m_opacity->setObjectName(QStringLiteral("opacitySlider"));
    m_opacity->setRange(50, 100);
    connect(m_opacity, &QSlider::valueChanged, this, [this](int value) {
        change([value](AppSettings& s) { s.overlayOpacity = double(value) / kOpacityScale; });
    });
    section->addRow(tr("Overlay Opacity"), labelledSlider(m_opacity, tr("50%"), tr("100%")));

    m_width = new QSlider;
    m_width->setObjectName(QStringLiteral("widthSlider"));
    m_width->setRange(400, 800);
    connect(m_width, &QSlider::valueChanged, this, [this](int value) {
        change([value](AppSettings& s) { s.overlayWidth = value; });
    });
    section->addRow(tr("Overlay Width"), labelledSlider(m_width, tr("400"), tr("800")));
    for (QWidget* control : {static_cast<QWidget*>(m_theme), static_cast<QWidget*>(m_opacity), static_cast<QWidget*>(m_width)})
        PageStyle::takeWheelOnlyWhenFocused(control);
    return section;
}

SettingsView::Switch::Switch(QString label, bool AppSettings::*member)
    : label(std::move(label)), read([member](const AppSettings& s) { return s.*member; }),
      write([member](AppSettings& s, bool on) { s.*member = on; })
{
}

SettingsView::Switch::Switch(QString label, std::optional<bool> AppSettings::*member, bool byDefault)
    : label(std::move(label)), read([member, byDefault](const AppSettings& s) { return (s.*member).value_or(byDefault); }),
      write([member](AppSettings& s, bool on) { s.*member = on; })
{
}

FormSection* SettingsView::switchesSection(const QString& title, const QString& symbol, const QList<Switch>& rows)
{
    auto* section = new FormSection(title, symbol);
    for (const Switch& row : rows) {
        auto* toggle = new ToggleSwitch;
        toggle->setAccessibleName(row.label);
        connect(toggle, &ToggleSwitch::toggled, this, [this, write = row.write](bool on) {
            change([write, on](AppSettings& s) { write(s, on); });
        });
        m_switches.append({toggle, row.read});
        section->addRow(row.label, toggle);
    }
    return section;
}

FormSection* SettingsView::aboutSection()
{
    auto* section = new FormSection(tr("About"), QStringLiteral("info.circle"));
    QLabel* version = PageStyle::label(QStringLiteral(TOVALIN_VERSION), TextStyle::body, QFont::Normal, true);
    version->setObjectName(QStringLiteral("versionLabel"));
    section->addRow(tr("Version"), version);
    section->addRow(linkRow(tr("Website"), QStringLiteral("websiteRow"), ExternalLinks::website()));
    section->addRow(linkRow(tr("Contact Support"), QStringLiteral("supportRow"), ExternalLinks::support()));
    return section;
}

AIModelSettingsSheet* SettingsView::openAISettings()
{
    if (!m_aiSheet) {
        m_aiSheet = new AIModelSettingsSheet(m_appState, this);
        m_aiSheet->setAttribute(Qt::WA_DeleteOnClose);
        m_aiSheet->open();
    }
    return m_aiSheet;
}

void SettingsView::change(const std::function<void(AppSettings&)>& edit)
{
    AppSettings settings = m_appState.settings();
    edit(settings);
    if (settings == m_appState.settings())
        return;
    m_appState.setSettings(settings);
    m_appState.saveSettings();
}

void SettingsView::showSettings()
{
    const AppSettings& s = m_appState.settings();
    m_providerSummary->setText(providerSummary(s));
    {
        const QSignalBlocker block(m_theme);
        m_theme->setCurrentIndex(m_theme->findData(int(s.theme)));
    }
    {
        const QSignalBlocker block(m_opacity);
        m_opacity->setValue(int(std::lround(s.overlayOpacity * kOpacityScale)));
    }
    {
        const QSignalBlocker block(m_width);
        m_width->setValue(int(std::lround(s.overlayWidth)));
    }
    for (const auto& [toggle, read] : std::as_const(m_switches)) {
        const QSignalBlocker block(toggle);
        toggle->setChecked(read(s));
    }
}

void SettingsView::checkPermission()
{
    if (!m_granted)
        return;
    SelectionAccess* access = m_appState.accessibilityService();
    const bool granted = access && access->checkPermission();
    m_granted->setVisible(granted);
    m_enable->setVisible(!granted);
}

void SettingsView::followAutostartEntry()
{
    const AutostartEntry entry;
    // A removed path drops out of the watch: watch what is there now, and while the
    // folder is missing, the nearest folder above it that it would be made in.
    QString folder = QFileInfo(entry.filePath()).path();
    QStringList paths{entry.filePath(), folder};
    while (!QFileInfo::exists(folder) && folder != QFileInfo(folder).path())
        paths << (folder = QFileInfo(folder).path());
    paths.removeIf([this](const QString& path) {
        return !QFileInfo::exists(path) || m_autostartWatch->files().contains(path)
            || m_autostartWatch->directories().contains(path);
    });
    if (!paths.isEmpty())
        m_autostartWatch->addPaths(paths);
    change([installed = entry.isInstalled()](AppSettings& s) { s.launchAtLogin = installed; });
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    checkPermission();
    followAutostartEntry();
}
