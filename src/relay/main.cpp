// tovalin-relay: the built-in provider's service, for a team to run on its own machines.
#include "console.h"
#include "relay_config.h"
#include "relay_server.h"
#include "unix_signal_watcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tovalin-relay"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVALIN_VERSION));

    QCommandLineParser parser;
    RelayConfig::addOptions(parser);
    parser.process(app);
    auto config = RelayConfig::load(parser, QProcessEnvironment::systemEnvironment());
    if (const auto* problem = std::get_if<QString>(&config)) {
        std::fprintf(stderr, "tovalin-relay: %s\n", qPrintable(*problem));
        return 2;
    }

    RelayServer server(std::get<RelayConfig>(std::move(config)));
    if (!server.listen())
        return 1;
    // SIGTERM (systemctl stop) lets the requests in flight finish; a second one ends at once.
    UnixSignalWatcher signals_;
    QObject::connect(&signals_, &UnixSignalWatcher::terminationRequested, &server, [&server] {
        static bool asked = false;
        if (asked)
            QCoreApplication::exit(1);
        asked = true;
        server.shutDown();
    });
    QObject::connect(&server, &RelayServer::drained, &app, [] {
        Console::line(QStringLiteral("tovalin-relay stopped"));
        QCoreApplication::quit();
    });
    return app.exec();
}
