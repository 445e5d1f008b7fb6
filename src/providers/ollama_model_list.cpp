#include "ollama_model_list.h"

#include "http_json_client.h"
#include "strict_url.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>

QCoro::Task<std::optional<QStringList>> OllamaModelList::fetch(QString host,
                                                                std::chrono::milliseconds timeout)
{
    const auto url = parseStrictHttpUrl(host + QStringLiteral("/api/tags"));
    if (!url)
        co_return std::nullopt;
    try {
        const HttpReply reply = co_await HttpJsonClient::get(*url, timeout);
        if (reply.status != 200)
            co_return std::nullopt;
        co_return parse(reply.body);
    } catch (const std::exception&) {
        co_return std::nullopt;
    }
}

std::optional<QStringList> OllamaModelList::parse(const QByteArray& body)
{
    const QJsonValue models = QJsonDocument::fromJson(body).object().value(QStringLiteral("models"));
    if (!models.isArray())
        return std::nullopt;
    QStringList names;
    for (const QJsonValue& model : models.toArray()) {
        const QString name = model.toObject().value(QStringLiteral("name")).toString();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}
