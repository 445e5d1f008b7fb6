#include "wayland_session.h"

#include "wayland/wayland_compositor_lines.h"
#include "wayland/wayland_connection.h"

namespace {
std::optional<WaylandParts> probe(const QProcessEnvironment& environment)
{
    if (environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
        return std::nullopt;
    if (const std::optional<QList<WaylandGlobal>> globals = WaylandConnection::probe())
        return WaylandParts::choose(*globals, PortalOffer::session(), environment);
    return std::nullopt;
}

QString forced(const QProcessEnvironment& environment)
{
    return environment.value(QStringLiteral("TOVALIN_BACKEND")).toLower();
}

// Set once Tovalin itself has put its choice in QT_QPA_PLATFORM, which is then not the user's.
bool platformChosenHere = false;

const QString bindAdvice = QStringLiteral("bind keys to \"tovalin --palette\" or \"tovalin --run NAME\" in your "
                                          "desktop's keyboard settings (see the README, \"Use it on Wayland\")");
} // namespace

bool WaylandSession::isWayland(const QProcessEnvironment& environment)
{
    return !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
        || environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
}

QString WaylandSession::choosePlatform(const QProcessEnvironment& environment, const std::optional<WaylandParts>& offered)
{
    if (!isWayland(environment) || !environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return {};
    const bool x11 = !environment.value(QStringLiteral("DISPLAY")).isEmpty();
    const QString choice = forced(environment);
    if (choice == QLatin1String("x11"))
        return x11 ? QStringLiteral("xcb") : QString();
    if (choice == QLatin1String("wayland"))
        return QStringLiteral("wayland");
    if (offered && offered->servesNatively())
        return QStringLiteral("wayland");
    return x11 ? QStringLiteral("xcb") : QString();
}

void WaylandSession::choosePlatformBeforeStart()
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!isWayland(environment) || !environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return;
    const QString platform = choosePlatform(environment, probe(environment));
    if (platform.isEmpty())
        return;
    qputenv("QT_QPA_PLATFORM", platform.toLatin1());
    platformChosenHere = true;
}

QString WaylandSession::startLine(const QProcessEnvironment& environment, const QString& platformName)
{
    if (!isWayland(environment))
        return {};
    return startLine(environment, platformName, probe(environment));
}

QString WaylandSession::startLine(const QProcessEnvironment& environment, const QString& platformName,
                                  const std::optional<WaylandParts>& offered)
{
    if (!isWayland(environment))
        return {};
    const bool userChose = !platformChosenHere && !environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty();
    const QString why = userChose ? QStringLiteral("QT_QPA_PLATFORM is set")
        : !forced(environment).isEmpty() ? QStringLiteral("TOVALIN_BACKEND=") + forced(environment)
                                          : QString();
    if (platformName == QLatin1String("xcb")) {
        const QString reason = !why.isEmpty() ? why
            : offered && (offered->virtualKeyboard || offered->portalKeyboard)
            ? QStringLiteral("the compositor lets no program read the selection of another (no data-control)")
            : QStringLiteral("the compositor offers no virtual keyboard and the session bus no RemoteDesktop "
                             "portal to paste with");
        return QStringLiteral("Wayland session, X11 backend through XWayland (%1): Tovalin works in X11 applications, "
                              "and its own hotkeys fire only while one has the focus; ").arg(reason) + bindAdvice;
    }
    if (platformName == QLatin1String("wayland")) {
        const WaylandCompositorLines lines(environment);
        if (offered && offered->portalKeyboard)
            return QStringLiteral("Wayland session, native Wayland backend (%1): %2; the desktop asks once before "
                                  "Tovalin first types into a window; %3")
                .arg(why.isEmpty() ? QStringLiteral("the desktop offers the RemoteDesktop portal") : why,
                     offered->describe(),
                     offered->portalShortcuts ? QStringLiteral("its hotkeys are bound through the desktop, which "
                                                               "shows them in its keyboard settings")
                                              : bindAdvice);
        if (offered && offered->servesNatively())
            return QStringLiteral("Wayland session, native Wayland backend (%1): %2; bind keys in %3 (the Hotkeys "
                                  "page shows the lines), and float the palette: %4")
                .arg(why.isEmpty() ? QStringLiteral("the compositor offers a virtual keyboard") : why,
                     offered->describe(),
                     lines.configFile().isEmpty() ? QStringLiteral("the compositor's configuration") : lines.configFile(),
                     lines.floatRule());
        return QStringLiteral("Wayland session, native Wayland backend (%1): the compositor offers no virtual keyboard, "
                              "nor a RemoteDesktop portal, so Tovalin cannot paste (with XWayland, TOVALIN_BACKEND=x11 "
                              "serves X11 applications); ")
                   .arg(why.isEmpty() ? QStringLiteral("no XWayland") : why)
            + bindAdvice;
    }
    return QStringLiteral("Wayland session without X11: Tovalin cannot grab hotkeys, read the selection or paste; "
                          "start XWayland (DISPLAY) for X11 applications, and ") + bindAdvice;
}
