#include "terminal_window.h"

#include <QSet>

bool isTerminalWindow(const QStringList& windowClass)
{
    static const QSet<QString> terminals{
        "xterm", "uxterm", "rxvt", "urxvt", "urxvt-unicode", "gnome-terminal", "gnome-terminal-server",
        "kgx", "org.gnome.console", "konsole", "org.kde.konsole", "xfce4-terminal", "mate-terminal",
        "lxterminal", "qterminal", "terminator", "tilix", "com.gexperts.tilix", "alacritty", "kitty",
        "wezterm", "org.wezfurlong.wezterm", "foot", "st", "st-256color", "sakura", "terminology",
        "guake", "tilda", "yakuake", "cool-retro-term", "ghostty", "com.mitchellh.ghostty",
        "deepin-terminal", "termite", "eterm", "aterm", "blackbox"};
    for (const QString& name : windowClass)
        if (terminals.contains(name.toLower()))
            return true;
    return false;
}
