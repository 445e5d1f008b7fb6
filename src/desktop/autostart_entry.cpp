#include "autostart_entry.h"

#include "console.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace {
// An entry is a few hundred bytes; anything far larger is not one to parse.
constexpr qint64 kMaxEntryBytes = 64 * 1024;
}

AutostartEntry::AutostartEntry(QString dir, QString executable)
    : m_dir(std::move(dir)),
      m_executable(executable.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(executable))
{
}

QString AutostartEntry::defaultDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

bool AutostartEntry::isInstalled() const
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.read(kMaxEntryBytes);
    bool inMainGroup = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const QByteArray setting = line.replace(' ', "");
        if (inMainGroup && (setting == "Hidden=true" || setting == "X-GNOME-Autostart-enabled=false"))
            return false;
    }
    return true;
}

bool AutostartEntry::setInstalled(bool installed)
{
    if (!installed) {
        if (!QFile::exists(filePath()) || QFile::remove(filePath()))
            return true;
        Console::line(QStringLiteral("Cannot remove the autostart entry %1").arg(filePath()));
        return false;
    }
    QSaveFile file(filePath());
    if (QDir().mkpath(m_dir) && file.open(QIODevice::WriteOnly) && file.write(contents()) >= 0 && file.commit())
        return true;
    Console::line(QStringLiteral("Cannot write the autostart entry %1: %2").arg(filePath(), file.errorString()));
    return false;
}

QByteArray AutostartEntry::contents() const
{
    return QByteArrayLiteral("[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Tovalin\n"
                             "Comment=Rewrite selected text with AI\n"
                             "Exec=")
        + execArgument(m_executable).toUtf8()
        + QByteArrayLiteral(" --background\n"
                            "Icon=tovalin\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n");
}

QString AutostartEntry::execArgument(const QString& argument)
{
    // Exec has two layers: the command line's quoting, then the desktop file's own escapes.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted = argument;
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); })) {
        QString inner;
        for (QChar c : std::as_const(quoted)) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                inner += QLatin1Char('\\');
            inner += c;
        }
        quoted = QLatin1Char('"') + inner + QLatin1Char('"');
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return quoted;
}
