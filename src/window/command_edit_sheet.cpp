#include "command_edit_sheet.h"

#include "app_state.h"
#include "hotkey_display.h"
#include "hotkey_recorder_button.h"
#include "page_style.h"
#include "toggle_switch.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A grouped section of the form: an optional title above a rounded card.
QFormLayout* addSection(QVBoxLayout* layout, const QString& title, QWidget* parent)
{
    if (!title.isEmpty())
        layout->addWidget(PageStyle::label(title, PageStyle::TextStyle::subheadline, QFont::Normal, true, parent));
    auto* card = new CardFrame(CardFrame::Fill::tertiary, 8, parent);
    auto* form = new QFormLayout(card);
    form->setContentsMargins(14, 10, 14, 10);
    form->setHorizontalSpacing(16);
    form->setVerticalSpacing(10);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(card);
    return form;
}

} // namespace

const QStringList& CommandEditSheet::iconOptions()
{
    static const QStringList options{
        "wand.and.stars", "sparkles", "textformat", "textformat.abc", "doc.text",
        "arrow.down.right.and.arrow.up.left", "arrow.up.left.and.arrow.down.right", "briefcase",
        "face.smiling", "globe", "globe.americas", "globe.asia.australia", "pencil", "text.bubble",
        "text.alignleft", "list.bullet", "checkmark", "heart", "bolt", "lightbulb", "envelope", "book"};
    return options;
}

CommandEditSheet::CommandEditSheet(AppState& appState, std::optional<Command> command, QWidget* parent)
    : QDialog(parent),
      m_appState(appState),
      m_command(std::move(command)),
      m_id(m_command ? m_command->id : QUuid::createUuid()),
      m_name(new QLineEdit(this)),
      m_category(new QComboBox(this)),
      m_icon(new QComboBox(this)),
      m_prompt(new QPlainTextEdit(this)),
      m_enabled(new ToggleSwitch(this)),
      m_recorder(new HotkeyRecorderButton(HotkeyRecorderButton::sheetLook, this)),
      m_clearShortcut(PageStyle::symbolButton(QStringLiteral("xmark.circle.fill"), PageStyle::Tint::secondary, 16,
                                              QStringLiteral("clearShortcutButton"), this)),
      m_shortcutProblem(PageStyle::label(QString(), PageStyle::TextStyle::caption, QFont::Normal, false, this)),
      m_save(new QPushButton(m_command ? QStringLiteral("Save") : QStringLiteral("Create"), this))
{
    const bool editing = m_command.has_value();
    setObjectName(QStringLiteral("commandEditSheet"));
    QVBoxLayout* layout = PageStyle::setUpSheet(
        this, editing ? QStringLiteral("Edit Command") : QStringLiteral("New Command"), {500, 550});
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(8);
    layout->addLayout(PageStyle::sheetHeader(this));
    layout->addSpacing(4);

    QFormLayout* general = addSection(layout, QString(), this);
    m_name->setObjectName(QStringLiteral("nameEdit"));
    m_name->setPlaceholderText(QStringLiteral("Name"));
    m_name->setMaxLength(int(Command::maxNameLength));
    general->addRow(QStringLiteral("Name"), m_name);
    m_category->setObjectName(QStringLiteral("categoryPicker"));
    for (CommandCategory c : allCommandCategories)
        m_category->addItem(PageStyle::symbolIcon(icon(c), PageStyle::Tint::primary), rawValue(c), int(c));
    general->addRow(QStringLiteral("Category"), m_category);
    m_icon->setObjectName(QStringLiteral("iconPicker"));
    m_icon->setMaxVisibleItems(12);
    for (const QString& name : iconOptions())
        m_icon->addItem(PageStyle::symbolIcon(name, PageStyle::Tint::primary), PageStyle::symbolTitle(name), name);
    general->addRow(QStringLiteral("Icon"), m_icon);

    QFormLayout* promptSection = addSection(layout, QStringLiteral("Prompt"), this);
    m_prompt->setObjectName(QStringLiteral("promptEdit"));
    m_prompt->setFont(PageStyle::font(PageStyle::TextStyle::body));
    m_prompt->setMinimumHeight(100);
    m_prompt->setTabChangesFocus(true);
    promptSection->addRow(m_prompt);

    QFormLayout* options = addSection(layout, QString(), this);
    m_enabled->setObjectName(QStringLiteral("enabledSwitch"));
    options->addRow(QStringLiteral("Enabled"), m_enabled);
    auto* recorderRow = new QHBoxLayout;
    recorderRow->setSpacing(8);
    m_recorder->setObjectName(QStringLiteral("shortcutRecorder"));
    m_recorder->setPlaceholder(QStringLiteral("Click to record"));
    recorderRow->addWidget(m_recorder);
    recorderRow->addWidget(m_clearShortcut);
    recorderRow->addStretch();
    auto* shortcutColumn = new QVBoxLayout;
    shortcutColumn->setSpacing(4);
    shortcutColumn->addLayout(recorderRow);
    m_shortcutProblem->setObjectName(QStringLiteral("shortcutProblem"));
    m_shortcutProblem->setWordWrap(true);
    m_shortcutProblem->hide();
    PageStyle::setTextTint(m_shortcutProblem, PageStyle::Tint::red);
    shortcutColumn->addWidget(m_shortcutProblem);
    options->addRow(QStringLiteral("Shortcut"), shortcutColumn);
    layout->addStretch();
    // Kept when a refusal under the recorder takes up the free room.
    layout->addSpacing(8);

    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Escape));
    cancel->setAutoDefault(false);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    m_save->setAutoDefault(false);
    PageStyle::makeProminent(m_save);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    // Loading: a new command keeps the starting values.
    QString iconName = QStringLiteral("wand.and.stars");
    CommandCategory category = CommandCategory::writing;
    bool enabled = true;
    if (editing) {
        m_name->setText(m_command->name);
        m_prompt->setPlainText(m_command->prompt);
        iconName = m_command->icon;
        category = m_command->category;
        enabled = m_command->isEnabled;
        setShortcut(m_command->shortcut.value_or(QString()), m_command->shortcutKeyCode,
                    m_command->shortcutModifiers);
        // A saved hotkey that does not work says so where it can be changed.
        showShortcutProblem(m_appState.hotkeyProblem(m_id));
    } else {
        setShortcut(QString(), std::nullopt, std::nullopt);
    }
    // An icon from the library that is not among the options stays selectable, so saving keeps it.
    if (m_icon->findData(iconName) < 0)
        m_icon->addItem(PageStyle::symbolIcon(iconName, PageStyle::Tint::primary), PageStyle::symbolTitle(iconName),
                        iconName);
    m_icon->setCurrentIndex(m_icon->findData(iconName));
    m_category->setCurrentIndex(m_category->findData(int(category)));
    m_enabled->setChecked(enabled);

    connect(m_name, &QLineEdit::textChanged, this, &CommandEditSheet::updateSaveEnabled);
    connect(m_prompt, &QPlainTextEdit::textChanged, this, &CommandEditSheet::updateSaveEnabled);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &CommandEditSheet::save);
    m_recorder->setCheck([this](uint16_t keyCode, uint64_t modifiers) {
        return m_appState.hotkeyClash(keyCode, modifiers, m_id);
    });
    connect(m_recorder, &HotkeyRecorderButton::recorded, this, [this](uint16_t keyCode, uint64_t modifiers) {
        setShortcut(HotkeyDisplay::displayString(keyCode, modifiers), keyCode, modifiers);
        showShortcutProblem(QString());
    });
    connect(m_recorder, &HotkeyRecorderButton::refused, this, &CommandEditSheet::showShortcutProblem);
    connect(m_clearShortcut, &QToolButton::clicked, this, [this] {
        setShortcut(QString(), std::nullopt, std::nullopt);
        showShortcutProblem(QString());
    });
    updateSaveEnabled();
}

void CommandEditSheet::setShortcut(const QString& shortcut, std::optional<uint16_t> keyCode,
                                   std::optional<uint64_t> modifiers)
{
    m_shortcut = shortcut;
    m_shortcutKeyCode = keyCode;
    m_shortcutModifiers = modifiers;
    m_recorder->setDisplayString(shortcut);
    m_clearShortcut->setVisible(!shortcut.isEmpty());
}

void CommandEditSheet::showShortcutProblem(const QString& problem)
{
    m_shortcutProblem->setText(problem);
    m_shortcutProblem->setVisible(!problem.isEmpty());
}

void CommandEditSheet::updateSaveEnabled()
{
    m_save->setEnabled(!m_name->text().isEmpty() && !m_prompt->toPlainText().isEmpty());
}

void CommandEditSheet::save()
{
    if (!m_save->isEnabled())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Command command;
    if (m_command) {
        command = *m_command; // same id, same createdAt
    } else {
        command.id = m_id;
        command.createdAt = now;
    }
    command.name = m_name->text();
    command.prompt = m_prompt->toPlainText();
    command.icon = m_icon->currentData().toString();
    command.category = CommandCategory(m_category->currentData().toInt());
    command.isEnabled = m_enabled->isChecked();
    command.shortcut = m_shortcut.isEmpty() ? std::nullopt : std::make_optional(m_shortcut);
    command.shortcutKeyCode = m_shortcutKeyCode;
    command.shortcutModifiers = m_shortcutModifiers;
    command.updatedAt = now;
    if (m_command)
        m_appState.updateCommand(command);
    else
        m_appState.addCommand(command);
    accept();
}
