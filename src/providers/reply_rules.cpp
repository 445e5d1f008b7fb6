#include "reply_rules.h"

#include "ai_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

namespace {

AIError statusError(const ReplyRules& rules, int status, const QByteArray& body)
{
    if (status == 401 && rules.unauthorizedMeansInvalidKey)
        return AIError::invalidAPIKey();
    if (status == 403 && rules.forbiddenMeansInvalidKey)
        return AIError::invalidAPIKey();
    if (status == 429 && rules.tooManyRequestsMeansRateLimited)
        return AIError::rateLimited();
    // A body that is not JSON, or of another shape, simply has no message.
    if (auto message = providerMessage(rules, QJsonDocument::fromJson(body).object()))
        return AIError::serverError(*message);
    return AIError::serverError(QStringLiteral("Status code: ") + QString::number(status)
                                + rules.statusCodeHint);
}

} // namespace

QString readAnswer(const ReplyRules& rules, std::optional<int> status, const QByteArray& body)
{
    if (!status)
        throw AIError::invalidResponse();
    if (*status != 200)
        throw statusError(rules, *status, body);

    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw TransportError(QStringLiteral("The response is not valid JSON (%1 at offset %2)")
                                 .arg(parseError.errorString())
                                 .arg(parseError.offset));
    const QJsonValue root = document.isArray() ? QJsonValue(document.array())
                                               : QJsonValue(document.object());
    const QJsonValue answer = followJsonPath(root, rules.answerPath);
    if (!answer.isString())
        throw AIError::invalidResponse();
    return rules.trimAnswer ? answer.toString().trimmed() : answer.toString();
}

QJsonValue followJsonPath(const QJsonValue& root, const QList<JsonStep>& path)
{
    QJsonValue value = root;
    for (const JsonStep& step : path) {
        if (const QString* key = std::get_if<QString>(&step)) {
            if (!value.isObject())
                return QJsonValue::Undefined;
            value = value.toObject().value(*key);
        } else {
            const qsizetype index = std::get<qsizetype>(step);
            const QJsonArray array = value.toArray();
            if (!value.isArray() || index >= array.size())
                return QJsonValue::Undefined;
            value = array.at(index);
        }
    }
    return value;
}

std::optional<QString> providerMessage(const ReplyRules& rules, const QJsonObject& object)
{
    const QJsonValue error = object.value(QStringLiteral("error"));
    const QJsonValue message = rules.errorShape == ReplyRules::ErrorShape::errorString
                                   ? error
                                   : error.toObject().value(QStringLiteral("message"));
    if (!message.isString())
        return std::nullopt;
    return message.toString();
}
