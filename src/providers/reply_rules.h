#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

// One step into a JSON answer: an object member or an array element.
using JsonStep = std::variant<QString, qsizetype>;

// A test on one event of a stream: the value at `path` equals `value`, or, when `value` is
// undefined, is there at all.
struct JsonTest {
    QList<JsonStep> path;
    QJsonValue value = QJsonValue::Undefined;
};

// How a provider's streamed answer reads, event by event.
struct StreamRules {
    bool jsonLines = false;  // one JSON document a line (NDJSON) rather than server-sent events
    QByteArray endMarker;    // an event whose data is exactly this ends the stream
    std::optional<JsonTest> endWhen; // an event passing this ends the stream (after its text)
    QList<JsonStep> textPath;        // where an event carries its piece of the answer
    std::optional<JsonTest> textWhen; // only events passing this carry a piece
};

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
    StreamRules stream;
};

// Reads the answer out of a reply, or throws: AIError for what the status or the JSON
// says, TransportError when a 200 body is not JSON at all. `status` is absent for a
// reply that was not HTTP.
QString readAnswer(const ReplyRules& rules, std::optional<int> status, const QByteArray& body);

// The value at `path` in `root`; undefined when a step is missing or of another kind.
QJsonValue followJsonPath(const QJsonValue& root, const QList<JsonStep>& path);
// The provider's own error text in `object`, if it carries one in the shape of `rules`.
std::optional<QString> providerMessage(const ReplyRules& rules, const QJsonObject& object);
