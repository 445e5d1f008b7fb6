// Stands in for a local Ollama server in end-to-end runs and benchmarks:
//   fake_ollama_server --port N [--log FILE] (--reply TEXT [--stream-gap-ms MS [--hold-file F]]
//                      | --status CODE --body TEXT | --flood BYTES)
// Logs each request body as one line, prints "listening <port>" once it accepts connections
// and "connections <n>" whenever a client connects or goes.
#include "fake_http_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
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
    const QCommandLineOption gap("stream-gap-ms", "Stream the reply word by word, this far apart.", "ms");
    const QCommandLineOption hold("hold-file", "Send the last streamed line once this file exists.", "file");
    const QCommandLineOption flood("flood", "Answer with a chunked body this long, as fast as it is read.", "bytes");
    parser.addOptions({port, log, reply, status, body, delay, gap, hold, flood});
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
            if (parser.isSet(flood)) {
                response.delivery = ScriptedResponse::Delivery::flood;
                response.floodBytes = parser.value(flood).toLongLong();
                return response;
            }
            const auto line = [](const QString& content, bool done) {
                const QJsonObject message{{"role", "assistant"}, {"content", content}};
                return QJsonDocument(QJsonObject{{"message", message}, {"done", done}}).toJson(QJsonDocument::Compact) + '\n';
            };
            if (!parser.isSet(gap)) {
                response.body = line(parser.value(reply), true).trimmed();
                return response;
            }
            // As Ollama streams: one line per word, then an empty last one saying "done".
            response.delivery = ScriptedResponse::Delivery::stream;
            response.contentType = "application/x-ndjson";
            response.gapMs = parser.value(gap).toInt();
            static const QRegularExpression word("\\S+\\s*");
            for (auto it = word.globalMatch(parser.value(reply)); it.hasNext();)
                response.pieces << line(it.next().captured(), false);
            response.pieces << line(QString(), true);
            if (parser.isSet(hold))
                response.holdLast = [file = parser.value(hold)] { return QFile::exists(file); };
            return response;
        },
        quint16(parser.value(port).toUInt()));
    if (!server.isListening())
        return 1;
    server.connectionsChanged = [](int open) {
        std::printf("connections %d\n", open);
        std::fflush(stdout);
    };
    std::printf("listening %u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
