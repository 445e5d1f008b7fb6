#include "ai_error.h"

#include "provider_failure.h"

AIError::AIError(Kind kind, QString payload)
    : m_kind(kind), m_payload(std::move(payload)), m_what(debugDescription().toUtf8())
{
}

AIError AIError::networkError(const QString& underlying) { return {Kind::networkError, underlying}; }
AIError AIError::serverError(const QString& message) { return {Kind::serverError, message}; }
AIError AIError::invalidAPIKey() { return {Kind::invalidAPIKey, {}}; }
AIError AIError::invalidResponse() { return {Kind::invalidResponse, {}}; }
AIError AIError::rateLimited() { return {Kind::rateLimited, {}}; }

QString AIError::description() const
{
    switch (m_kind) {
    case Kind::networkError: return QStringLiteral("Network error: ") + m_payload;
    case Kind::serverError: return QStringLiteral("Server error: ") + m_payload;
    case Kind::invalidAPIKey: return QStringLiteral("Invalid API key. Please check your settings.");
    case Kind::invalidResponse: return QStringLiteral("Invalid response from AI service.");
    case Kind::rateLimited: return QStringLiteral("Rate limited. Please try again later.");
    }
    return {};
}

QString AIError::debugDescription() const
{
    switch (m_kind) {
    case Kind::networkError: return QStringLiteral("networkError(%1)").arg(m_payload);
    case Kind::serverError: {
        // Quoted like a string literal, so a message with quotes stays one readable token.
        QString escaped = m_payload;
        escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        return QStringLiteral("serverError(\"%1\")").arg(escaped);
    }
    case Kind::invalidAPIKey: return QStringLiteral("invalidAPIKey");
    case Kind::invalidResponse: return QStringLiteral("invalidResponse");
    case Kind::rateLimited: return QStringLiteral("rateLimited");
    }
    return {};
}

TransportError::TransportError(const QString& description)
    : m_description(description), m_what(description.toUtf8())
{
}

QString consoleDescription(const std::exception& e)
{
    if (auto* t = dynamic_cast<const TransportError*>(&e))
        return t->description();
    if (auto* p = dynamic_cast<const ProviderFailure*>(&e))
        return QString::fromUtf8(p->whatBytes());
    return QString::fromUtf8(e.what());
}

QString userFacingDescription(const std::exception& e)
{
    if (auto* ai = dynamic_cast<const AIError*>(&e))
        return ai->description();
    if (auto* t = dynamic_cast<const TransportError*>(&e))
        return t->description();
    if (auto* p = dynamic_cast<const ProviderFailure*>(&e))
        return p->description();
    return QString::fromUtf8(e.what());
}
