#include "records.h"

namespace {
template <typename E, size_t N>
std::optional<E> fromRaw(const std::array<E, N>& all, const QString& raw)
{
    for (E e : all)
        if (rawValue(e) == raw)
            return e;
    return std::nullopt;
}
} // namespace

QString rawValue(CommandCategory c)
{
    switch (c) {
    case CommandCategory::writing: return QStringLiteral("Writing");
    case CommandCategory::translation: return QStringLiteral("Translation");
    case CommandCategory::coding: return QStringLiteral("Coding");
    case CommandCategory::social: return QStringLiteral("Social Media");
    case CommandCategory::business: return QStringLiteral("Business");
    case CommandCategory::creative: return QStringLiteral("Creative");
    case CommandCategory::education: return QStringLiteral("Education");
    }
    return {};
}

QString icon(CommandCategory c)
{
    switch (c) {
    case CommandCategory::writing: return QStringLiteral("pencil.line");
    case CommandCategory::translation: return QStringLiteral("globe");
    case CommandCategory::coding: return QStringLiteral("chevron.left.forwardslash.chevron.right");
    case CommandCategory::social: return QStringLiteral("bubble.left.and.bubble.right");
    case CommandCategory::business: return QStringLiteral("briefcase");
    case CommandCategory::creative: return QStringLiteral("paintbrush");
    case CommandCategory::education: return QStringLiteral("book");
    }
    return {};
}

QString rawValue(AIProvider p)
{
    switch (p) {
    case AIProvider::tovalin: return QStringLiteral("tovalin");
    case AIProvider::openai: return QStringLiteral("openai");
    case AIProvider::claude: return QStringLiteral("claude");
    case AIProvider::deepseek: return QStringLiteral("deepseek");
    case AIProvider::gemini: return QStringLiteral("gemini");
    case AIProvider::ollama: return QStringLiteral("ollama");
    case AIProvider::custom: return QStringLiteral("custom");
    }
    return {};
}

QString displayName(AIProvider p)
{
    switch (p) {
    case AIProvider::tovalin: return QStringLiteral("Tovalin (Default)");
    case AIProvider::openai: return QStringLiteral("OpenAI");
    case AIProvider::claude: return QStringLiteral("Claude");
    case AIProvider::deepseek: return QStringLiteral("DeepSeek");
    case AIProvider::gemini: return QStringLiteral("Gemini");
    case AIProvider::ollama: return QStringLiteral("Ollama");
    case AIProvider::custom: return QStringLiteral("OpenAI-compatible");
    }
    return {};
}

QString icon(AIProvider p)
{
    switch (p) {
    case AIProvider::tovalin: return QStringLiteral("sparkles");
    case AIProvider::openai: return QStringLiteral("cpu");
    case AIProvider::claude: return QStringLiteral("brain");
    case AIProvider::deepseek: return QStringLiteral("magnifyingglass");
    case AIProvider::gemini: return QStringLiteral("star");
    case AIProvider::ollama: return QStringLiteral("server.rack");
    case AIProvider::custom: return QStringLiteral("point.3.connected.trianglepath.dotted");
    }
    return {};
}

QString rawValue(AppTheme t)
{
    switch (t) {
    case AppTheme::system: return QStringLiteral("system");
    case AppTheme::light: return QStringLiteral("light");
    case AppTheme::dark: return QStringLiteral("dark");
    }
    return {};
}

QString displayName(AppTheme t)
{
    switch (t) {
    case AppTheme::system: return QStringLiteral("System");
    case AppTheme::light: return QStringLiteral("Light");
    case AppTheme::dark: return QStringLiteral("Dark");
    }
    return {};
}

QString rawValue(MainTab t)
{
    switch (t) {
    case MainTab::home: return QStringLiteral("Home");
    case MainTab::commands: return QStringLiteral("Commands");
    case MainTab::hotkeys: return QStringLiteral("Hotkeys");
    case MainTab::history: return QStringLiteral("History");
    case MainTab::settings: return QStringLiteral("Settings");
    }
    return {};
}

QString icon(MainTab t)
{
    switch (t) {
    case MainTab::home: return QStringLiteral("house");
    case MainTab::commands: return QStringLiteral("command");
    case MainTab::hotkeys: return QStringLiteral("keyboard");
    case MainTab::history: return QStringLiteral("clock");
    case MainTab::settings: return QStringLiteral("gear");
    }
    return {};
}

std::optional<CommandCategory> commandCategoryFromRaw(const QString& raw) { return fromRaw(allCommandCategories, raw); }
std::optional<AIProvider> aiProviderFromRaw(const QString& raw) { return fromRaw(allAIProviders, raw); }
std::optional<AppTheme> appThemeFromRaw(const QString& raw) { return fromRaw(allAppThemes, raw); }
std::optional<MainTab> mainTabFromRaw(const QString& raw) { return fromRaw(allMainTabs, raw); }

QString Command::cappedName(const QString& name)
{
    if (name.size() <= maxNameLength)
        return name;
    const bool splitsPair = name.at(maxNameLength - 1).isHighSurrogate();
    return name.left(maxNameLength - (splitsPair ? 1 : 0));
}
