// Stands in for a local Ollama server in end-to-end runs:
//   fake_ollama_server [--port N] [--reply TEXT | --status CODE [--body TEXT]]
//                      [--delay-ms N] [--log FILE]
// Prints "listening <port>" once it accepts connections.
#include "fake_http_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cstdio>

namespace {

void appendLogLine(const QString& path, const QByteArray& body)
{
    if (path.isEmpty())
        return;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    QByteArray line;
    if (error.error == QJsonParseError::NoError)
        line = doc.toJson(QJsonDocument::Compact);
    else // keep one line per request even for a body that is not JSON
        line = QJsonDocument(QJsonObject{{QStringLiteral("raw"), QString::fromUtf8(body)}})
                   .toJson(QJsonDocument::Compact);
    QFile file(path);
    if (file.open(QIODevice::Append | QIODevice::WriteOnly))
        file.write(line + '\n');
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "Port to listen on (0 picks one).", "port", "0");
    const QCommandLineOption replyOption("reply", "Assistant reply for /api/chat.", "text", "");
    const QCommandLineOption statusOption("status", "Answer /api/chat with this status.", "code");
    const QCommandLineOption bodyOption("body", "Body sent with --status.", "text", "");
    const QCommandLineOption delayOption("delay-ms", "Wait before answering.", "ms", "0");
    const QCommandLineOption logOption("log", "Append each request body as a JSON line.", "file");
    parser.addOptions({portOption, replyOption, statusOption, bodyOption, delayOption, logOption});
    parser.process(app);

    const QString reply = parser.value(replyOption);
    const QString logPath = parser.value(logOption);
    const bool scriptedStatus = parser.isSet(statusOption);
    const int status = parser.value(statusOption).toInt();
    const QByteArray errorBody = parser.value(bodyOption).toUtf8();
    const int delayMs = parser.value(delayOption).toInt();

    FakeHttpServer server;
    server.setHandler([&](const RecordedRequest& request) {
        appendLogLine(logPath, request.body);
        if (request.method != "POST" || request.path != "/api/chat")
            return ScriptedResponse::json(404, R"({"error":"not found"})");
        if (scriptedStatus) {
            auto response = ScriptedResponse::json(status, errorBody);
            response.delayMs = delayMs;
            return response;
        }
        const QJsonObject answer{
            {QStringLiteral("model"), request.json().value(QStringLiteral("model"))},
            {QStringLiteral("message"),
             QJsonObject{{QStringLiteral("role"), QStringLiteral("assistant")},
                         {QStringLiteral("content"), reply}}},
            {QStringLiteral("done"), true}};
        auto response =
            ScriptedResponse::json(200, QJsonDocument(answer).toJson(QJsonDocument::Compact));
        response.delayMs = delayMs;
        return response;
    });
    if (!server.listen(quint16(parser.value(portOption).toUInt()))) {
        std::fprintf(stderr, "cannot listen on port %s\n", qPrintable(parser.value(portOption)));
        return 1;
    }
    std::printf("listening %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
