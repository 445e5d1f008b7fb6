#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A provider call that failed for a reason the user fixes in the AI settings: the server
// cannot be reached, the key is refused or cannot be read, or the model is missing. The
// text is the client's own, so the user reads what the provider said.
class ProviderFailure : public std::exception {
public:
    enum class Reason { unreachable, keyRefused, keyUnreadable, modelMissing };

    ProviderFailure(Reason reason, QString description, QByteArray what = {})
        : m_reason(reason), m_description(std::move(description)),
          m_what(what.isEmpty() ? m_description.toUtf8() : std::move(what))
    {
    }
    Reason reason() const { return m_reason; }
    QString description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }
    const QByteArray& whatBytes() const { return m_what; }

private:
    Reason m_reason;
    QString m_description;
    QByteArray m_what;
};
