#include "custom_model_list.h"

#include "custom_openai_service.h"
#include "http_json_client.h"
#include "strict_url.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>

QCoro::Task<std::optional<QStringList>> CustomModelList::fetch(QString serverURL, QString apiKey,
                                                               std::chrono::milliseconds timeout)
{
    const auto url = parseStrictHttpUrl(CustomOpenAIService::endpoint(serverURL, QStringLiteral("/models")));
    if (!url)
        co_return std::nullopt;
    HttpHeaders headers;
    if (!apiKey.isEmpty())
        headers.append({"Authorization", "Bearer " + apiKey.toUtf8()});
    try {
        const HttpReply reply = co_await HttpJsonClient::get(*url, timeout, headers);
        if (reply.status != 200)
            co_return std::nullopt;
        co_return parse(reply.body);
    } catch (const std::exception&) {
        co_return std::nullopt;
    }
}

std::optional<QStringList> CustomModelList::parse(const QByteArray& body)
{
    const QJsonValue data = QJsonDocument::fromJson(body).object().value(QStringLiteral("data"));
    if (!data.isArray())
        return std::nullopt;
    QStringList ids;
    for (const QJsonValue& model : data.toArray()) {
        const QString id = model.toObject().value(QStringLiteral("id")).toString();
        if (!id.isEmpty() && !ids.contains(id))
            ids.append(id);
    }
    return ids;
}
