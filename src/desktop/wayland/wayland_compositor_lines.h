#pragma once

#include <QProcessEnvironment>
#include <QString>

// The lines a user adds to the compositor's configuration: no Wayland protocol lets a
// program grab keys, so the compositor's bindings run the remote commands, and a tiling
// compositor floats the palette only when told. The compositor is recognised by the
// variables it gives the programs it starts.
class WaylandCompositorLines {
public:
    enum class Compositor { sway, hyprland, other };

    explicit WaylandCompositorLines(const QProcessEnvironment& environment);
    explicit WaylandCompositorLines(Compositor compositor) : m_compositor(compositor) {}

    Compositor compositor() const { return m_compositor; }
    // "sway", "Hyprland", or empty when the syntax is not known.
    QString name() const;
    // The configuration file the lines go in.
    QString configFile() const;
    QString floatRule() const;
    // keys as the desktop writes them ("Super+Shift+Space"); an empty command opens the palette.
    QString binding(const QString& keys, const QString& commandName = {}) const;
    // The command line a binding runs: "tovalin --palette", or "tovalin --run "NAME"" quoted
    // for a shell.
    static QString remoteCommand(const QString& commandName = {});

private:
    Compositor m_compositor;
};
