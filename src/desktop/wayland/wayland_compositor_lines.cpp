#include "wayland_compositor_lines.h"

#include "wayland_accessibility_backend.h"

#include <QStringList>

QString WaylandCompositorLines::remoteCommand(const QString& commandName)
{
    if (commandName.isEmpty())
        return QStringLiteral("tovalin --palette");
    // Inside double quotes a shell still reads these four.
    QString quoted;
    for (const QChar c : commandName) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('$') || c == QLatin1Char('`'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QStringLiteral("tovalin --run \"%1\"").arg(quoted);
}

WaylandCompositorLines::WaylandCompositorLines(const QProcessEnvironment& environment)
    : m_compositor(Compositor::other)
{
    if (!environment.value(QStringLiteral("SWAYSOCK")).isEmpty())
        m_compositor = Compositor::sway;
    else if (!environment.value(QStringLiteral("HYPRLAND_INSTANCE_SIGNATURE")).isEmpty())
        m_compositor = Compositor::hyprland;
}

QString WaylandCompositorLines::name() const
{
    switch (m_compositor) {
    case Compositor::sway:
        return QStringLiteral("sway");
    case Compositor::hyprland:
        return QStringLiteral("Hyprland");
    case Compositor::other:
        break;
    }
    return {};
}

QString WaylandCompositorLines::configFile() const
{
    switch (m_compositor) {
    case Compositor::sway:
        return QStringLiteral("~/.config/sway/config");
    case Compositor::hyprland:
        return QStringLiteral("~/.config/hypr/hyprland.conf");
    case Compositor::other:
        break;
    }
    return {};
}

QString WaylandCompositorLines::floatRule() const
{
    const QString appId = QString::fromLatin1(WaylandAccessibilityBackend::paletteAppId);
    switch (m_compositor) {
    case Compositor::sway:
        return QStringLiteral("for_window [app_id=\"%1\"] floating enable").arg(appId);
    case Compositor::hyprland:
        return QStringLiteral("windowrulev2 = float, class:^(%1)$").arg(appId);
    case Compositor::other:
        break;
    }
    return QStringLiteral("float windows with the app_id \"%1\"").arg(appId);
}

QString WaylandCompositorLines::binding(const QString& keys, const QString& commandName) const
{
    const QString command = remoteCommand(commandName);
    QStringList parts = keys.split(QLatin1Char('+'), Qt::SkipEmptyParts);
    const QString key = parts.isEmpty() ? QString() : parts.takeLast();
    switch (m_compositor) {
    case Compositor::sway: {
        QStringList names;
        for (const QString& modifier : std::as_const(parts))
            names << (modifier == QLatin1String("Super") ? QStringLiteral("Mod4")
                      : modifier == QLatin1String("Alt")  ? QStringLiteral("Mod1")
                                                          : modifier);
        names << key.toLower();
        return QStringLiteral("bindsym %1 exec %2").arg(names.join(QLatin1Char('+')), command);
    }
    case Compositor::hyprland:
        return QStringLiteral("bind = %1, %2, exec, %3")
            .arg(parts.join(QLatin1Char(' ')).toUpper(), key.toUpper() == QLatin1String("SPACE") ? QStringLiteral("space") : key, command);
    case Compositor::other:
        break;
    }
    return QStringLiteral("%1: %2").arg(keys, command);
}
