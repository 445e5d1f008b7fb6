// tovalin-relay: the built-in provider's service, for a team to run on its own machines.
#include "console.h"
#include "relay_config.h"
#include "relay_server.h"
#include "unix_signal_watcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Descriptors beyond the client connections: one per request in flight to the upstream,
// the connections being turned away, and the process's own.
constexpr rlim_t kSpareDescriptors = 160;

// Raises the descriptor limit as far as the connection cap needs (the hard limit allows it);
// past what the system grants, fewer connections are taken. Running out of descriptors
// would stop the relay from taking any connection, /health's included.
void fitDescriptors(RelayConfig& config)
{
    const rlim_t needed = rlim_t(config.limits.maxConnections) + rlim_t(config.maxInFlight) + kSpareDescriptors;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= needed)
        return;
    const rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? needed : std::min(needed, limit.rlim_max);
    if (wanted > limit.rlim_cur) {
        limit.rlim_cur = wanted;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur >= needed)
        return;
    const rlim_t spare = rlim_t(config.maxInFlight) + kSpareDescriptors;
    config.limits.maxConnections = limit.rlim_cur > spare + 1 ? int(limit.rlim_cur - spare) : 1;
    Console::line(QStringLiteral("tovalin-relay: the descriptor limit is %1; taking at most %2 connections "
                                 "(raise LimitNOFILE or ulimit -n)")
                      .arg(limit.rlim_cur).arg(config.limits.maxConnections));
}

} // namespace

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

    fitDescriptors(std::get<RelayConfig>(config));
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
