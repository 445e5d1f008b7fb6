#include "fake_http_server.h"
#include "provider_discovery.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

namespace {
FakeHttpServer::Handler answering(const QByteArray& path, const QByteArray& body, int status = 200)
{
    return [=](const RecordedRequest& r) -> ScriptedResponse {
        if (r.method != "GET" || r.path != path)
            return {404, "{}"};
        return {status, body};
    };
}
} // namespace

class TestProviderDiscovery : public QObject {
    Q_OBJECT

private slots:
    void findsWhatAnswersWithinTheBudget()
    {
        FakeHttpServer ollama(answering("/api/tags", R"({"models":[{"name":"qwen2.5:0.5b"},{"name":"llama3.2"}]})"));
        FakeHttpServer llama(answering("/v1/models", R"({"object":"list","data":[{"id":"local-model"}]})"));
        FakeHttpServer empty(answering("/v1/models", R"({"data":[]})"));
        FakeHttpServer html(answering("/v1/models", "<html>It works!</html>"));
        FakeHttpServer silent([](const RecordedRequest&) { return ScriptedResponse{0, {}}; });
        // Not HTTP at all: a line of noise and the connection closes.
        QTcpServer noise;
        QVERIFY(noise.listen(QHostAddress::LocalHost));
        connect(&noise, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* s = noise.nextPendingConnection();
            s->write("\x16\x03\x01 garbage\r\n\r\n");
            s->disconnectFromHost();
        });
        for (auto* s : {&ollama, &llama, &empty, &html, &silent})
            QVERIFY(s->isListening());

        struct Case {
            const char* name;
            ProviderDiscovery::Targets targets;
            QList<ProviderDiscovery::Found> expected;
        };
        const auto base = [](quint16 port) { return QStringLiteral("http://127.0.0.1:%1/v1").arg(port); };
        const QList<Case> cases{
            {"everything at once",
             {ollama.baseUrl(),
              {silent.serverPort(), noise.serverPort(), llama.serverPort(), closedLoopbackPort(), html.serverPort(),
               empty.serverPort()},
              QString()},
             {{AIProvider::ollama, ollama.baseUrl(), {"qwen2.5:0.5b", "llama3.2"}},
              {AIProvider::custom, base(llama.serverPort()), {"local-model"}},
              {AIProvider::custom, base(empty.serverPort()), {}}}},
            {"nothing runs", {closedLoopbackUrl(), {closedLoopbackPort()}, QString()}, {}},
            {"the custom base URL first, once", {QString(), {llama.serverPort()}, base(llama.serverPort())},
             {{AIProvider::custom, base(llama.serverPort()), {"local-model"}}}},
            {"a host elsewhere is not asked", {"http://192.0.2.1:11434", {}, "http://192.0.2.1:8080/v1"}, {}},
        };
        for (const Case& c : cases) {
            QElapsedTimer clock;
            clock.start();
            const auto found = QCoro::waitFor(ProviderDiscovery::discover(c.targets, 300ms));
            // Generous for a loaded machine, yet far below the model lists' own 3 s time-out.
            QVERIFY2(clock.elapsed() < 2000, c.name);
            QVERIFY2(found == c.expected, c.name);
        }
    }

    void theStoredAddressesAreUsedOnlyOnLoopback()
    {
        AppSettings settings;
        settings.ollamaHost = "http://localhost:11500/";
        settings.customBaseURL = "http://[::1]:9000/v1";
        auto targets = ProviderDiscovery::targetsFor(settings);
        QCOMPARE(targets.ollamaHost, QStringLiteral("http://localhost:11500"));
        QCOMPARE(targets.customBaseURL, QStringLiteral("http://[::1]:9000/v1"));
        QCOMPARE(targets.compatiblePorts, (QList<int>{8080, 1234, 8000, 1337}));
        settings.ollamaHost = "http://gpu-box.lan:11434";
        settings.customBaseURL = "https://openrouter.ai/api/v1";
        targets = ProviderDiscovery::targetsFor(settings);
        QCOMPARE(targets.ollamaHost, QStringLiteral("http://127.0.0.1:11434"));
        QVERIFY(targets.customBaseURL.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProviderDiscovery)
#include "test_provider_discovery.moc"
