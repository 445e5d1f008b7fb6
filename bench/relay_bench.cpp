// Requests per second and the latency tovalin-relay adds, over a fake upstream (Ollama's
// shape) that answers at once, all on loopback:
//   relay_bench [--requests N] [--concurrency C]
// Bounded: at most a minute in all, whatever the machine.
#include "fake_http_server.h"
#include "raw_http_request.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr qint64 kDeadlineMs = 60000;

// Runs `total` requests, `concurrency` at a time; the latency of each in nanoseconds,
// or nothing when one failed or the deadline passed.
std::optional<std::vector<qint64>> run(quint16 port, const QByteArray& path, const QByteArray& body,
                                       int total, int concurrency, const QElapsedTimer& deadline)
{
    std::vector<qint64> latencies;
    std::vector<std::unique_ptr<RawHttpRequest>> open;
    int started = 0;
    bool failed = false;
    while ((started < total || !open.empty()) && !failed && deadline.elapsed() < kDeadlineMs) {
        while (started < total && int(open.size()) < concurrency) {
            open.push_back(std::make_unique<RawHttpRequest>(port, "POST", path, body));
            ++started;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        for (auto it = open.begin(); it != open.end();) {
            if (!(*it)->isFinished()) {
                ++it;
                continue;
            }
            failed |= (*it)->status() != 200;
            latencies.push_back((*it)->elapsedNs());
            it = open.erase(it);
        }
    }
    if (failed || int(latencies.size()) < total)
        return std::nullopt;
    return latencies;
}

double quantileMs(std::vector<qint64> values, double q)
{
    std::sort(values.begin(), values.end());
    return double(values[size_t(q * double(values.size() - 1))]) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption requestsOption("requests", "Requests for the throughput figure.", "n", "2000");
    const QCommandLineOption concurrencyOption("concurrency", "Requests open at once.", "n", "16");
    parser.addOptions({requestsOption, concurrencyOption});
    parser.addHelpOption();
    parser.process(app);
    const int requests = std::clamp(parser.value(requestsOption).toInt(), 100, 100000);
    const int concurrency = std::clamp(parser.value(concurrencyOption).toInt(), 1, 200);

    const QByteArray answer = QJsonDocument(QJsonObject{{"message", QJsonObject{{"role", "assistant"}, {"content", "Fixed text."}}}, {"done", true}})
                                  .toJson(QJsonDocument::Compact);
    FakeHttpServer upstream([&](const RecordedRequest&) { return ScriptedResponse{200, answer}; });
    upstream.requests.reserve(3 * requests);

    QProcess relay;
    relay.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    relay.start(QStringLiteral(RELAY_BINARY), {"--listen", "127.0.0.1:0", "--provider", "ollama", "--base-url", upstream.baseUrl(),
                                               "--model", "llama3", "--rate-limit", "0", "--max-in-flight", "1000"});
    QElapsedTimer deadline;
    deadline.start();
    quint16 port = 0;
    while (!port && relay.state() != QProcess::NotRunning && deadline.elapsed() < 5000) {
        relay.waitForReadyRead(100);
        const auto match = QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)").match(QString::fromUtf8(relay.readLine()));
        if (match.hasMatch())
            port = quint16(match.captured(1).toUInt());
    }
    if (!port) {
        std::fprintf(stderr, "relay_bench: tovalin-relay did not start\n");
        return 1;
    }
    // The relay's access log is not part of the measurement.
    QObject::connect(&relay, &QProcess::readyReadStandardOutput, [&relay] { relay.readAllStandardOutput(); });

    const QByteArray chat = R"({"prompt":"Fix grammar","text":"teh text","model":""})";
    const QByteArray direct = R"({"model":"llama3","messages":[{"role":"user","content":"Fix grammar\n\nText to process:\nteh text"}],"stream":false})";
    const int sequential = std::min(requests, 500);
    const auto warmUp = run(port, "/chat", chat, 50, 4, deadline);
    const auto viaRelay = run(port, "/chat", chat, sequential, 1, deadline);
    const auto alone = run(upstream.serverPort(), "/api/chat", direct, sequential, 1, deadline);
    QElapsedTimer clock;
    clock.start();
    const auto load = run(port, "/chat", chat, requests, concurrency, deadline);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    relay.terminate();
    relay.waitForFinished(5000);
    if (!warmUp || !viaRelay || !alone || !load) {
        std::fprintf(stderr, "relay_bench: a request failed or the minute ran out\n");
        return 1;
    }
    std::printf("relay: %.0f requests/s (%d requests, %d at once, loopback, upstream answering at once)\n",
                double(requests) / seconds, requests, concurrency);
    std::printf("relay: added latency p50 %.2f ms, p99 %.2f ms (%d one at a time; upstream alone p50 %.2f ms, p99 %.2f ms)\n",
                quantileMs(*viaRelay, 0.5) - quantileMs(*alone, 0.5), quantileMs(*viaRelay, 0.99) - quantileMs(*alone, 0.99),
                sequential, quantileMs(*alone, 0.5), quantileMs(*alone, 0.99));
    return 0;
}
