#include "command_line.h"

CommandLine::CommandLine(const QStringList& arguments)
{
    m_parser.setApplicationDescription(
        QStringLiteral("Rewrites the text you have selected, in any application, with an AI model.\n"
                       "Without options Tovalin starts and shows its window; when it runs already, the\n"
                       "running one comes forward. The remote commands ask the running one."));
    const QCommandLineOption help = m_parser.addHelpOption();
    const QCommandLineOption version = m_parser.addVersionOption();
    const QCommandLineOption background(QStringLiteral("background"),
                                        QStringLiteral("Start with the tray icon and hotkeys only, no window."));
    const QCommandLineOption palette(QStringLiteral("palette"),
                                     QStringLiteral("Open the palette on the current selection (remote)."));
    const QCommandLineOption run(QStringLiteral("run"),
                                 QStringLiteral("Run the enabled command NAME on the current selection (remote)."),
                                 QStringLiteral("NAME"));
    const QCommandLineOption show(QStringLiteral("show"), QStringLiteral("Bring the main window forward (remote)."));
    m_parser.addOptions({background, palette, run, show});

    if (!m_parser.parse(arguments)) {
        m_action = Action::invalid;
        m_error = m_parser.errorText();
        return;
    }
    // --help-all is offered by --help; it answers the same way, with Qt's own options after.
    const bool helpAll = m_parser.isSet(QStringLiteral("help-all"));
    if (m_parser.isSet(help) || helpAll) {
        m_action = Action::help;
        if (helpAll)
            m_helpFooter = QStringLiteral("\nQt's options are taken too, for example -platform NAME (xcb, wayland,\n"
                                          "offscreen), -display NAME, -style NAME and -reverse.\n");
        return;
    }
    if (m_parser.isSet(version)) {
        m_action = Action::version;
        return;
    }
    if (!m_parser.positionalArguments().isEmpty()) {
        m_action = Action::invalid;
        m_error = QStringLiteral("Unexpected argument: %1").arg(m_parser.positionalArguments().constFirst());
        return;
    }
    const int chosen = int(m_parser.isSet(background)) + int(m_parser.isSet(palette)) + int(m_parser.values(run).size())
        + int(m_parser.isSet(show));
    if (chosen > 1) {
        m_action = Action::invalid;
        m_error = QStringLiteral("Use only one of --background, --palette, --run and --show");
        return;
    }
    m_background = m_parser.isSet(background);
    if (m_parser.isSet(palette))
        m_request.kind = RemoteRequest::Kind::palette;
    else if (m_parser.isSet(show))
        m_request.kind = RemoteRequest::Kind::show;
    else if (m_parser.isSet(run)) {
        m_request = {RemoteRequest::Kind::run, m_parser.value(run)};
        if (!RemoteRequest::fromLine(m_request.toLine().chopped(1))) {
            m_action = Action::invalid;
            m_error = QStringLiteral("--run needs the name of a command, on one line");
            return;
        }
    } else {
        return;
    }
    m_action = Action::remote;
}
