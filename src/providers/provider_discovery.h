#pragma once

#include "records.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>

// Looks for AI servers running on this machine: Ollama (GET /api/tags) and
// OpenAI-compatible servers (GET /v1/models). Only loopback addresses are asked, all at
// once, and the whole look ends within the budget whatever the ports do.
class ProviderDiscovery {
public:
    static constexpr std::chrono::milliseconds defaultBudget{300};

    struct Targets {
        QString ollamaHost;       // "http://127.0.0.1:11434"; left out when empty
        QList<int> compatiblePorts; // each asked at http://127.0.0.1:PORT/v1
        QString customBaseURL;    // asked as well when set and on loopback
    };

    // One server that answered. `address` is what the settings take: the Ollama host, or
    // the OpenAI-compatible base URL ending in /v1. `models` may be empty.
    struct Found {
        AIProvider provider = AIProvider::ollama;
        QString address;
        QStringList models;
        bool operator==(const Found&) const = default;
    };

    // llama.cpp, LM Studio, vLLM, Jan.
    static QList<int> wellKnownPorts() { return {8080, 1234, 8000, 1337}; }
    // The stored Ollama host and custom base URL when they are on loopback, the defaults otherwise.
    static Targets targetsFor(const AppSettings& settings);
    static bool isLoopback(const QString& address);

    // Everything that answered with a model list, Ollama first, then in port order.
    static QCoro::Task<QList<Found>> discover(Targets targets,
                                              std::chrono::milliseconds budget = defaultBudget);
};
