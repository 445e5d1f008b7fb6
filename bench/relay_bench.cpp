// Requests per second and the latency tovalin-relay adds, over a fake upstream (Ollama's
// shape) that answers at once; then the same against an upstream that takes a second, with
// 64 requests open at once, to show every admitted request is in flight at the same time
// (next to that upstream asked directly the same way).
// All on loopback, with the relay's connection limits at their defaults:
//   relay_bench [--requests N] [--concurrency C]
// Bounded: at most a minute and a half in all, whatever the machine.
#include "fake_http_server.h"
#include "raw_http_request.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr qint64 kDeadlineMs = 90000;
// The slow upstream's figure and its goals.
constexpr int kSlowMs = 1000;
constexpr int kSlowConcurrency = 64;
constexpr int kSlowRequests = 8 * kSlowConcurrency;
constexpr double kGoalRps = 60;
constexpr double kGoalP99Ms = 1100;

// Sleeps until something happens (at most 50 ms). processEvents() with a time limit never
// sleeps: it polls every socket again and again, and takes the CPU the relay needs.
void waitForEvents()
{
    static QTimer* const tick = [] {
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->start(50);
        return timer;
    }();
    Q_UNUSED(tick);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

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
        waitForEvents();
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

// Starts tovalin-relay in front of `upstream`; its port once /health answers, or 0.
quint16 startRelay(QProcess& relay, const QString& upstream, const QStringList& extra)
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    // The relay's access log is not part of the measurement: nobody here wakes up to read it.
    relay.setStandardOutputFile(QProcess::nullDevice());
    relay.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    relay.start(QStringLiteral(RELAY_BINARY), QStringList{"--listen", QString("127.0.0.1:%1").arg(port), "--provider", "ollama",
                                                          "--base-url", upstream, "--model", "llama3", "--rate-limit", "0"} + extra);
    QElapsedTimer clock;
    clock.start();
    while (relay.state() != QProcess::NotRunning && clock.elapsed() < 5000) {
        RawHttpRequest health(port, "GET", "/health");
        while (!health.isFinished())
            waitForEvents();
        if (health.status() == 200)
            return port;
        QThread::msleep(50);
    }
    return 0;
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

    // The slow upstream is a process of its own, so its sockets do not share this loop
    // with the clients': what is measured is the relay.
    QProcess slowUpstream;
    slowUpstream.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    slowUpstream.start(QStringLiteral(FAKE_OLLAMA_BINARY), {"--reply", "Fixed text.", "--delay-ms", QString::number(kSlowMs)});
    const QString slowLine = slowUpstream.waitForReadyRead(5000) ? QString::fromUtf8(slowUpstream.readLine()).trimmed() : QString();

    QProcess relay, slowRelay;
    QElapsedTimer deadline;
    deadline.start();
    const quint16 port = startRelay(relay, upstream.baseUrl(), {"--max-in-flight", "1000"});
    // As a team would run it: the default 64 requests in flight.
    const quint16 slowPort = startRelay(slowRelay, "http://127.0.0.1:" + slowLine.section(' ', 1), {});
    if (!port || !slowPort || !slowLine.startsWith("listening ")) {
        std::fprintf(stderr, "relay_bench: tovalin-relay did not start\n");
        return 1;
    }

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
    clock.restart();
    const auto slow = run(slowPort, "/chat", chat, kSlowRequests, kSlowConcurrency, deadline);
    const double slowSeconds = double(clock.nsecsElapsed()) / 1e9;
    const auto slowAlone = run(quint16(slowLine.section(' ', 1).toUInt()), "/api/chat", direct, kSlowRequests, kSlowConcurrency, deadline);
    for (QProcess* p : {&relay, &slowRelay, &slowUpstream}) {
        p->terminate();
        p->waitForFinished(5000);
    }
    if (!warmUp || !viaRelay || !alone || !load || !slow || !slowAlone) {
        std::fprintf(stderr, "relay_bench: a request failed or the minute ran out\n");
        return 1;
    }
    std::printf("relay: %.0f requests/s (%d requests, %d at once, loopback, upstream answering at once)\n",
                double(requests) / seconds, requests, concurrency);
    std::printf("relay: added latency p50 %.2f ms, p99 %.2f ms (%d one at a time; upstream alone p50 %.2f ms, p99 %.2f ms)\n",
                quantileMs(*viaRelay, 0.5) - quantileMs(*alone, 0.5), quantileMs(*viaRelay, 0.99) - quantileMs(*alone, 0.99),
                sequential, quantileMs(*alone, 0.5), quantileMs(*alone, 0.99));
    const double slowRps = double(kSlowRequests) / slowSeconds;
    const double slowP99 = quantileMs(*slow, 0.99);
    std::printf("relay: upstream answering after %d ms, %d at once: %.1f requests/s (goal >= %.0f), p50 %.0f ms, p99 %.0f ms (goal <= %.0f): %s "
                "(upstream alone p50 %.0f ms, p99 %.0f ms)\n",
                kSlowMs, kSlowConcurrency, slowRps, kGoalRps, quantileMs(*slow, 0.5), slowP99, kGoalP99Ms,
                slowRps >= kGoalRps && slowP99 <= kGoalP99Ms ? "met" : "missed", quantileMs(*slowAlone, 0.5), quantileMs(*slowAlone, 0.99));
    return 0;
}
