#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QStringList>
#include <chrono>
#include <optional>

// The models installed on an Ollama server, as its GET /api/tags lists them.
class OllamaModelList {
public:
    // Short: the list only fills suggestions, and a host that is not there must not
    // keep the user waiting for them.
    static constexpr std::chrono::milliseconds defaultTimeout{3000};

    // Names in the server's order; nothing when the host is not a valid address, does
    // not answer in time, or answers with something other than a list of models.
    static QCoro::Task<std::optional<QStringList>> fetch(QString host,
                                                         std::chrono::milliseconds timeout = defaultTimeout);
    static std::optional<QStringList> parse(const QByteArray& body);
};
