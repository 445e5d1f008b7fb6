#include "accessibility_settings_command.h"

#include <array>

namespace {

struct DesktopTool {
    const char* desktop;
    const char* program;
    const char* argument;
};

constexpr std::array<DesktopTool, 5> tools{{
    {"GNOME", "gnome-control-center", "universal-access"},
    {"Unity", "gnome-control-center", "universal-access"},
    {"KDE", "systemsettings", "kcm_access"},
    {"XFCE", "xfce4-accessibility-settings", nullptr},
    {"MATE", "mate-at-properties", nullptr},
}};

} // namespace

std::optional<QStringList>
accessibilitySettingsCommand(const QString& currentDesktop,
                             const std::function<QString(const QString&)>& findExecutable)
{
    const QStringList desktops = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& desktop : desktops) {
        for (const DesktopTool& tool : tools) {
            if (desktop.compare(QLatin1String(tool.desktop), Qt::CaseInsensitive) != 0)
                continue;
            const QString path = findExecutable(QString::fromLatin1(tool.program));
            if (path.isEmpty())
                continue;
            QStringList command{path};
            if (tool.argument)
                command.append(QString::fromLatin1(tool.argument));
            return command;
        }
    }
    return std::nullopt;
}
