#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QStringList>
#include <chrono>
#include <optional>

// The models an OpenAI-compatible server offers, as its GET {base}/models lists them.
class CustomModelList {
public:
    // Short: the list only fills suggestions, and a server that is not there must not keep
    // the user waiting for them.
    static constexpr std::chrono::milliseconds defaultTimeout{3000};

    // Model ids in the server's order; nothing when the address is not valid, the server
    // does not answer in time, refuses (a key it wants), or answers with something else.
    // The key goes out as a Bearer token only when not empty.
    static QCoro::Task<std::optional<QStringList>> fetch(
        QString serverURL, QString apiKey, std::chrono::milliseconds timeout = defaultTimeout);
    // {"data": [{"id": "..."}, ...]}
    static std::optional<QStringList> parse(const QByteArray& body);
};
