#pragma once

#include <QByteArray>
#include <QString>

// The XDG autostart entry that starts Tovalin in the background at login. The file is the
// truth: an entry removed (or switched off) by hand reads as not installed.
class AutostartEntry {
public:
    // dir: the autostart folder; executable: the binary the entry starts. By default the
    // binary that runs now: the installed one once installed, the build's before that.
    explicit AutostartEntry(QString dir = defaultDir(), QString executable = {});

    // $XDG_CONFIG_HOME/autostart (~/.config/autostart when unset).
    static QString defaultDir();
    static constexpr auto fileName = "tovalin.desktop";

    QString filePath() const { return m_dir + QLatin1Char('/') + QLatin1String(fileName); }
    // True when the desktop will start Tovalin at login: the entry is there and neither
    // hidden nor disabled (the keys desktops write when the user turns an entry off).
    bool isInstalled() const;
    // Writes or removes the entry. False, said on the console, when that failed.
    bool setInstalled(bool installed);
    QByteArray contents() const;

    // One argument of an Exec line, quoted when it has to be, in the desktop file's escaping.
    static QString execArgument(const QString& argument);

private:
    QString m_dir;
    QString m_executable;
};
