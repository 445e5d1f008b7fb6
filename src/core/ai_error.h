#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// What every provider client throws. description() is the user-facing text;
// what() is the case name with its payload, used in log lines.
class AIError : public std::exception {
public:
    enum class Kind { networkError, serverError, invalidAPIKey, invalidResponse, rateLimited };

    static AIError networkError(const QString& underlyingDescription);
    static AIError serverError(const QString& message);
    static AIError invalidAPIKey();
    static AIError invalidResponse();
    static AIError rateLimited();

    Kind kind() const { return m_kind; }
    // The server message or the underlying error's description; empty for the other cases.
    QString payload() const { return m_payload; }
    QString description() const;
    QString debugDescription() const;
    const char* what() const noexcept override { return m_what.constData(); }

    bool operator==(const AIError& o) const { return m_kind == o.m_kind && m_payload == o.m_payload; }

private:
    AIError(Kind kind, QString payload);
    Kind m_kind;
    QString m_payload;
    QByteArray m_what;
};

// A transport failure that a client passes through without wrapping it
// (connection refused, host not found, time-out, TLS failure, unparsable body).
class TransportError : public std::exception {
public:
    explicit TransportError(const QString& description);
    QString description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_description;
    QByteArray m_what;
};

// The user stopped the run before its answer arrived; nothing of it is used.
class RunCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "Cancelled"; }
};

// The text a user should see for any error a provider call threw.
QString userFacingDescription(const std::exception& e);
// The error as the console writes it (an AIError by its case); whole even where the text
// holds a NUL, at which what() would end.
QString consoleDescription(const std::exception& e);
