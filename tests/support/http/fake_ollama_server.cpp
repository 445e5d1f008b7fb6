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
    parser.addOptions({port, log, reply, status, body});
    parser.process(app);

    FakeHttpServer server(
        [&](const RecordedRequest& request) -> ScriptedResponse {
            if (QFile file(parser.value(log)); parser.isSet(log) && file.open(QIODevice::Append))
                file.write(request.body + '\n'); // the client sends compact JSON: one line
            if (request.method != "POST" || request.path != "/api/chat")
                return {404, R"({"error":"not found"})"};
            if (parser.isSet(status))
                return {parser.value(status).toInt(), parser.value(body).toUtf8()};
            const QJsonObject message{{"role", "assistant"}, {"content", parser.value(reply)}};
            return {200, QJsonDocument(QJsonObject{{"message", message}, {"done", true}})
                             .toJson(QJsonDocument::Compact)};
        },
        quint16(parser.value(port).toUInt()));
    if (!server.isListening())
        return 1;
    std::printf("listening %u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
