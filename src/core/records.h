#pragma once

#include "hotkey_config.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>
#include <array>
#include <cstdint>
#include <optional>

enum class CommandCategory { writing, translation, coding, social, business, creative, education };
enum class AIProvider { tovalin, openai, claude, deepseek, gemini, ollama, custom };
enum class AppTheme { system, light, dark };
enum class MainTab { home, commands, hotkeys, history, settings };

inline constexpr std::array allCommandCategories{
    CommandCategory::writing, CommandCategory::translation, CommandCategory::coding,
    CommandCategory::social,  CommandCategory::business,    CommandCategory::creative,
    CommandCategory::education};
inline constexpr std::array allAIProviders{AIProvider::tovalin, AIProvider::openai,
                                           AIProvider::claude,  AIProvider::deepseek,
                                           AIProvider::gemini,  AIProvider::ollama,
                                           AIProvider::custom};
inline constexpr std::array allAppThemes{AppTheme::system, AppTheme::light, AppTheme::dark};
inline constexpr std::array allMainTabs{MainTab::home, MainTab::commands, MainTab::hotkeys,
                                        MainTab::history, MainTab::settings};

// Raw values are the stored form and, for categories and tabs, the display title.
QString rawValue(CommandCategory c);
QString rawValue(AIProvider p);
QString rawValue(AppTheme t);
QString rawValue(MainTab t);
QString icon(CommandCategory c);
QString icon(AIProvider p);
QString icon(MainTab t);
QString displayName(AIProvider p);
QString displayName(AppTheme t);

std::optional<CommandCategory> commandCategoryFromRaw(const QString& raw);
std::optional<AIProvider> aiProviderFromRaw(const QString& raw);
std::optional<AppTheme> appThemeFromRaw(const QString& raw);
std::optional<MainTab> mainTabFromRaw(const QString& raw);

struct Command {
    // Longer names are cut to this on the way in: a name is a row's label, not a text.
    static constexpr qsizetype maxNameLength = 200;
    // The name cut to maxNameLength, never inside a surrogate pair.
    static QString cappedName(const QString& name);

    QUuid id;
    QString name;
    QString prompt;
    QString icon;
    bool isEnabled = true;
    CommandCategory category = CommandCategory::writing;
    std::optional<QString> shortcut;
    std::optional<uint16_t> shortcutKeyCode;
    std::optional<uint64_t> shortcutModifiers;
    QDateTime createdAt;
    QDateTime updatedAt;

    // A working hotkey needs both halves; the shortcut text alone is only a label.
    bool hasHotkey() const { return isEnabled && shortcutKeyCode && shortcutModifiers; }
    bool operator==(const Command&) const = default;
};

inline constexpr auto kDefaultOllamaHost = "http://127.0.0.1:11434";

struct AppSettings {
    AIProvider aiProvider = AIProvider::tovalin;
    QString selectedModel = QStringLiteral("gpt-4o-mini");
    QString openaiApiKey;
    QString claudeApiKey;
    QString deepseekApiKey;
    QString geminiApiKey;
    QString ollamaHost = QString::fromLatin1(kDefaultOllamaHost);
    AppTheme theme = AppTheme::system;
    HotkeyConfig overlayHotkey;
    bool launchAtLogin = false;
    bool showInMenuBar = true;
    bool showInDock = true;
    bool soundEnabled = true;
    bool hapticEnabled = true;
    bool autoCloseOverlay = true;
    double overlayWidth = 600.0;
    double overlayOpacity = 0.95;
    std::optional<QString> claudeModel;
    std::optional<QString> openaiModel;
    // Added later, so optional: files written before them still load, and older versions
    // skip them. The OpenAI-compatible server: its base URL (".../v1"), an optional key,
    // and the model last typed for it (the factory uses selectedModel, as for every provider).
    std::optional<QString> customBaseURL;
    std::optional<QString> customApiKey;
    std::optional<QString> customModel;
    // The built-in provider's relay; absent or empty means the address this build was made with.
    std::optional<QString> tovalinBaseURL;
    // Left out of the document until changed, so files of earlier versions read the same.
    std::optional<bool> typeToAskInPalette;
    std::optional<bool> restoreClipboard;

    // Typing at the palette filters the commands and offers the text as an instruction.
    bool typesToAsk() const { return typeToAskInPalette.value_or(true); }
    // What the clipboard held before a paste is put back once the answer was fetched.
    bool restoresClipboard() const { return restoreClipboard.value_or(false); }

    bool operator==(const AppSettings&) const = default;
};

struct HistoryItem {
    QUuid id;
    QUuid commandId;
    QString commandName;
    // The typed instruction of a "Custom Instruction" run.
    std::optional<QString> instruction;
    QString originalText;
    QString resultText;
    QDateTime timestamp;
    bool success = true;
    std::optional<QString> errorMessage;

    bool operator==(const HistoryItem&) const = default;
};
