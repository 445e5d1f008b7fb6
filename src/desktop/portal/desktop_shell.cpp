#include "desktop_shell.h"

#include <QDBusConnectionInterface>

DesktopShell::Kind DesktopShell::probe(const QDBusConnection& bus, const QProcessEnvironment& environment)
{
    if (QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr) {
        if (daemon->isServiceRegistered(QStringLiteral("org.gnome.Shell")))
            return Kind::gnome;
        if (daemon->isServiceRegistered(QStringLiteral("org.kde.KWin"))
            || daemon->isServiceRegistered(QStringLiteral("org.kde.kglobalaccel")))
            return Kind::kde;
    }
    const QStringList names = environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'));
    if (names.contains(QLatin1String("GNOME"), Qt::CaseInsensitive))
        return Kind::gnome;
    if (names.contains(QLatin1String("KDE"), Qt::CaseInsensitive))
        return Kind::kde;
    return Kind::unknown;
}

DesktopShell::Kind DesktopShell::session()
{
    static const Kind kind = probe(QDBusConnection::sessionBus(), QProcessEnvironment::systemEnvironment());
    return kind;
}
