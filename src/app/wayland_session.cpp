#include "wayland_session.h"

bool WaylandSession::isWayland(const QProcessEnvironment& environment)
{
    return !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
        || environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
}

void WaylandSession::preferX11()
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (isWayland(environment) && !environment.value(QStringLiteral("DISPLAY")).isEmpty()
        && environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        qputenv("QT_QPA_PLATFORM", "xcb");
}

QString WaylandSession::startLine(const QProcessEnvironment& environment, const QString& platformName)
{
    if (!isWayland(environment))
        return {};
    const QString bind = QStringLiteral("bind keys to \"tovalin --palette\" or \"tovalin --run NAME\" in your "
                                        "desktop's keyboard settings (see the README, \"Use it on Wayland\")");
    if (platformName == QLatin1String("xcb"))
        return QStringLiteral("Wayland session: Tovalin works in X11 applications through XWayland, and its own "
                              "hotkeys fire only while one has the focus; ") + bind;
    return QStringLiteral("Wayland session without X11: Tovalin cannot grab hotkeys, read the selection or paste; "
                          "start XWayland (DISPLAY) for X11 applications, and ") + bind;
}
