#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

// One step into a JSON answer: an object member or an array element.
using JsonStep = std::variant<QString, qsizetype>;

// How a provider's replies are read. The clients differ only in these values.
struct ReplyRules {
    enum class ErrorShape {
        messageInErrorObject, // {"error": {"message": "..."}}
        errorString,          // {"error": "..."}
    };

    bool unauthorizedMeansInvalidKey = false; // 401
    bool forbiddenMeansInvalidKey = false;    // 403
    bool tooManyRequestsMeansRateLimited = false; // 429
    ErrorShape errorShape = ErrorShape::messageInErrorObject;
    QString statusCodeHint; // appended to "Status code: N" when the body names no error
    QList<JsonStep> answerPath;
    bool trimAnswer = true;
    // Transport failures and unreadable answers become AIError::networkError; when false
    // they reach the caller as TransportError.
    bool wrapForeignErrors = true;
    // A refused connection becomes serverError(this) instead of networkError.
    std::optional<QString> connectionRefusedMessage;
};

// Reads the answer out of a reply, or throws: AIError for what the status or the JSON
// says, TransportError when a 200 body is not JSON at all. `status` is absent for a
// reply that was not HTTP.
QString readAnswer(const ReplyRules& rules, std::optional<int> status, const QByteArray& body);
