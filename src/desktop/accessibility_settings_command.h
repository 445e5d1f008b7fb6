#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The program (and its arguments) that opens the accessibility page of the current
// desktop's settings; nothing when the desktop is unknown or its tool is missing.
// currentDesktop is XDG_CURRENT_DESKTOP (a colon-separated list); findExecutable
// gives the full path of a program or an empty string.
std::optional<QStringList>
accessibilitySettingsCommand(const QString& currentDesktop,
                             const std::function<QString(const QString&)>& findExecutable);
