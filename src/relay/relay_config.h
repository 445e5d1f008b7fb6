#pragma once

#include "http_limits.h"
#include "records.h"

#include <QHostAddress>
#include <QProcessEnvironment>
#include <QString>
#include <chrono>
#include <variant>

class QCommandLineParser;

// How one relay runs: where it listens, the upstream it asks (as the settings the provider
// factory reads, key included) and the bounds that keep it a good neighbour.
struct RelayConfig {
    static constexpr quint16 defaultPort = 8787;

    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = defaultPort;
    AppSettings upstream;
    // Set by --model or the config file: clients then cannot pick a model of their own.
    bool isModelFixed = false;
    // Below the app's own 60 s, so a slow upstream reaches the user as 504, not as a time-out.
    std::chrono::milliseconds timeout{55'000};
    int rateLimitPerMinute = 30; // per client address; 0 turns it off
    int maxInFlight = 64;
    HttpLimits limits;

    // The command-line options, for QCommandLineParser::process().
    static void addOptions(QCommandLineParser& parser);
    // Command line over config file over defaults; the key only from the environment or
    // the file. A text says what is wrong.
    static std::variant<RelayConfig, QString> load(const QCommandLineParser& parser,
                                                   const QProcessEnvironment& environment);
    // "127.0.0.1:8787", "[::1]:8787"
    QString listenAddress() const;
    // The upstream in one line, without the key.
    QString upstreamDescription() const;
};
