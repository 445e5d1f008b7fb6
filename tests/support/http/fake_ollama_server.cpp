// Stands in for a local Ollama server in end-to-end runs:
//   fake_ollama_server --port N [--log FILE] (--reply TEXT | --status CODE --body TEXT)
// Logs each request body as one line and prints "listening <port>" once it accepts connections.
#include "fake_http_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption port("port", "Port (0 picks one).", "n", "0");
    const QCommandLineOption log("log", "File the request bodies are appended to.", "file");
    const QCommandLineOption reply("reply", "Assistant reply.", "text");
    const QCommandLineOption status("status", "Answer with this status instead.", "code");
    const QCommandLineOption body("body", "Body sent with --status.", "text");
    const QCommandLineOption delay("delay-ms", "Think this long before answering.", "ms", "0");
    parser.addOptions({port, log, reply, status, body, delay});
    parser.process(app);

    FakeHttpServer server(
        [&](const RecordedRequest& request) -> ScriptedResponse {
            if (QFile file(parser.value(log)); parser.isSet(log) && file.open(QIODevice::Append))
                file.write(request.body + '\n'); // the client sends compact JSON: one line
            if (request.method != "POST" || request.path != "/api/chat")
                return {404, R"({"error":"not found"})"};
            ScriptedResponse response;
            response.delayMs = parser.value(delay).toInt();
            if (parser.isSet(status)) {
                response.status = parser.value(status).toInt();
                response.body = parser.value(body).toUtf8();
                return response;
            }
            const QJsonObject message{{"role", "assistant"}, {"content", parser.value(reply)}};
            response.body = QJsonDocument(QJsonObject{{"message", message}, {"done", true}}).toJson(QJsonDocument::Compact);
            return response;
        },
        quint16(parser.value(port).toUInt()));
    if (!server.isListening())
        return 1;
    std::printf("listening %u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
