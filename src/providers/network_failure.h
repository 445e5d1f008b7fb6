#pragma once

#include "ai_error.h"

#include <QNetworkReply>

// A transport failure that still knows its Qt error code, so a client can single
// out cases with a meaning of their own (a refused connection, for Ollama).
class NetworkFailure : public TransportError {
public:
    NetworkFailure(QNetworkReply::NetworkError code, const QString& description)
        : TransportError(description), m_code(code)
    {
    }
    QNetworkReply::NetworkError code() const { return m_code; }

private:
    QNetworkReply::NetworkError m_code;
};
