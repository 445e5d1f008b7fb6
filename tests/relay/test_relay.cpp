// The real tovalin-relay process, on loopback, in front of a fake Ollama server.
#include "ai_error.h"
#include "fake_http_server.h"
#include "raw_http_request.h"
#include "temp_state_dir.h"
#include "tovalin_api_service.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Ollama's answer carrying `content`.
QByteArray ollamaAnswer(const QString& content)
{
    return QJsonDocument(QJsonObject{{"model", "llama3"}, {"message", QJsonObject{{"role", "assistant"}, {"content", content}}}, {"done", true}})
        .toJson(QJsonDocument::Compact);
}

QByteArray chat(const QString& prompt, const QString& text)
{
    return QJsonDocument(QJsonObject{{"prompt", prompt}, {"text", text}, {"model", ""}}).toJson(QJsonDocument::Compact);
}

class Relay {
public:
    explicit Relay(const QStringList& arguments, const QString& key = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("TOVALIN_RELAY_API_KEY");
        if (!key.isEmpty())
            env.insert("TOVALIN_RELAY_API_KEY", key);
        m_process.setProcessEnvironment(env);
        m_process.start(RELAY_BINARY, QStringList{"--listen", "127.0.0.1:0"} + arguments);
        // port stays 0 when the relay refuses to start; the tests check it.
        [[maybe_unused]] const bool started = QTest::qWaitFor([this] { return (read(), port != 0) || m_process.state() == QProcess::NotRunning; }, 5000);
    }
    ~Relay()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QString baseUrl() const { return QString("http://127.0.0.1:%1").arg(port); }
    QString output() { read(); return m_output; }
    QProcess& process() { return m_process; }

    quint16 port = 0;

private:
    void read()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        const auto match = QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)").match(m_output);
        if (match.hasMatch())
            port = quint16(match.captured(1).toUInt());
    }
    QProcess m_process;
    QString m_output;
};

// Sends all at once, each on its own connection, and waits for every answer.
std::vector<std::unique_ptr<RawHttpRequest>> sendAll(quint16 port, const QList<QByteArray>& bodies)
{
    std::vector<std::unique_ptr<RawHttpRequest>> requests;
    for (const QByteArray& body : bodies)
        requests.push_back(std::make_unique<RawHttpRequest>(port, "POST", "/chat", body));
    // Unfinished ones show as status 0 in the checks.
    [[maybe_unused]] const bool done = QTest::qWaitFor([&] { return std::all_of(requests.begin(), requests.end(), [](const auto& r) { return r->isFinished(); }); }, 15000);
    return requests;
}

QString errorOf(const RawHttpRequest& r) { return QJsonDocument::fromJson(r.body())["error"].toString(); }

QString outcome(QCoro::Task<QString> task)
{
    return QCoro::waitFor([](QCoro::Task<QString> t) -> QCoro::Task<QString> {
        try {
            co_return "answer: " + co_await std::move(t);
        } catch (const AIError& e) {
            co_return e.description();
        }
    }(std::move(task)));
}

} // namespace

class TestRelay : public QObject {
    Q_OBJECT
private slots:
    void init() { m_upstream.requests.clear(); }

    // The built-in client's own request, answered by the upstream's answer, untouched.
    void theBuiltInClientGetsTheUpstreamsAnswer()
    {
        Relay relay({"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--model", "llama3"});
        QVERIFY(relay.port);
        m_reply = {200, ollamaAnswer("  Fixed text.\n")};
        TovalinAPIService client(relay.baseUrl(), "client's choice", 5s);
        QCOMPARE(outcome(client.processText("Fix", "teh secret text")), QString("answer: Fixed text."));
        QCOMPARE(m_upstream.requests.size(), 1);
        const QJsonObject sent = QJsonDocument::fromJson(m_upstream.requests[0].body).object();
        QCOMPARE(sent["model"].toString(), QString("llama3")); // the relay's model wins
        QCOMPARE(sent["messages"][0]["content"].toString(), QString("Fix\n\nText to process:\nteh secret text"));
        RawHttpRequest health(relay.port, "GET", "/health");
        QTRY_VERIFY(health.isFinished());
        QCOMPARE(health.status(), 200);
        // One line per request, without the texts.
        QTRY_VERIFY(relay.output().contains("\"POST /chat\" 200"));
        QVERIFY(!relay.output().contains("secret") && !relay.output().contains("Fixed"));
    }

    void edgeCases_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<ScriptedResponse>("upstream");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        const ScriptedResponse fine{200, ollamaAnswer("ok")};
        const QString malformed = "The body must be a JSON object with the strings \"prompt\" and \"text\" (and optionally \"model\")";
        QTest::newRow("malformed JSON") << QByteArray(R"({"prompt": "Fix", )") << fine << 400 << malformed;
        QTest::newRow("missing text") << QByteArray(R"({"prompt":"Fix","model":""})") << fine << 400 << malformed;
        QTest::newRow("text not a string") << QByteArray(R"({"prompt":"Fix","text":7})") << fine << 400 << malformed;
        QTest::newRow("just too large") << chat("Fix", QString(4097, 'x')) << fine << 413 << "The request is larger than 4096 bytes";
        QTest::newRow("far too large") << chat("Fix", QString(300000, 'x')) << fine << 413 << "The request is larger than 4096 bytes";
        QTest::newRow("upstream error") << chat("Fix", "t") << ScriptedResponse{404, "{\"error\":\"model \\\"llama3\\\" not found, try pulling it first\"}"}
                                        << 502 << "The relay's provider failed: model \"llama3\" not found, try pulling it first";
        QTest::newRow("upstream slow") << chat("Fix", "t") << ScriptedResponse{0, {}} << 504 << "The relay's provider did not answer within 0.5 s";
    }
    void edgeCases()
    {
        QFETCH(QByteArray, body);
        QFETCH(ScriptedResponse, upstream);
        QFETCH(int, status);
        QFETCH(QString, error);
        if (!m_edgeRelay)
            m_edgeRelay = std::make_unique<Relay>(QStringList{"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--model", "llama3",
                                                              "--timeout", "0.5", "--max-body", "4096", "--rate-limit", "0"});
        QVERIFY(m_edgeRelay->port);
        m_reply = upstream;
        const auto answers = sendAll(m_edgeRelay->port, {body});
        QCOMPARE(answers[0]->status(), status);
        QCOMPARE(errorOf(*answers[0]), error);
        QCOMPARE(m_upstream.requests.size(), status >= 500 ? 1 : 0);
    }

    void upstreamDownAndRateLimit()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QString dead = QString("http://127.0.0.1:%1").arg(probe.serverPort());
        probe.close();
        Relay relay({"--provider", "ollama", "--base-url", dead, "--model", "llama3", "--rate-limit", "2"});
        QVERIFY(relay.port);
        const auto answers = sendAll(relay.port, {chat("a", "b"), chat("a", "b"), chat("a", "b")});
        QCOMPARE(answers[0]->status(), 502);
        QCOMPARE(errorOf(*answers[0]), "The relay's provider failed: Cannot connect to Ollama. Make sure Ollama is running on " + dead);
        QCOMPARE(answers[2]->status(), 429);
        // The built-in client shows the rate message as the server's.
        TovalinAPIService client(relay.baseUrl(), "", 5s);
        QCOMPARE(outcome(client.processText("a", "b")), QString("Server error: Rate limited. Please try again later."));
    }

    // Fifty clients at once, each answered with its own text, side by side.
    void concurrentRequestsAllAnswered()
    {
        Relay relay({"--provider", "custom", "--base-url", m_upstream.baseUrl() + "/v1", "--model", "m", "--rate-limit", "0"}, "sk-relay-secret");
        QVERIFY(relay.port);
        m_echo = true;
        QList<QByteArray> bodies;
        for (int i = 0; i < 50; ++i)
            bodies << chat("Echo", QString::number(i));
        QElapsedTimer clock;
        clock.start();
        const auto answers = sendAll(relay.port, bodies);
        m_echo = false;
        // One at a time would take 50 upstream delays; a third of that leaves room for a
        // sanitizer build on a loaded machine.
        QVERIFY2(clock.elapsed() < 50 * 300 / 3, qPrintable(QString::number(clock.elapsed())));
        for (int i = 0; i < 50; ++i) {
            QCOMPARE(answers[i]->status(), 200);
            QCOMPARE(QJsonDocument::fromJson(answers[i]->body())["result"].toString(), "Echo\n\nText to process:\n" + QString::number(i));
        }
        QCOMPARE(m_upstream.requests.size(), 50);
        QCOMPARE(m_upstream.requests[0].headers.value("authorization"), QByteArray("Bearer sk-relay-secret"));
        QVERIFY(!relay.output().contains("sk-relay-secret"));

        // Past the bound on requests in flight, the rest are turned away at once.
        Relay narrow({"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--max-in-flight", "2", "--rate-limit", "0"});
        m_reply = {200, ollamaAnswer("slow"), ScriptedResponse::Delivery::whole, {}, 300};
        QList<int> statuses;
        for (const auto& r : sendAll(narrow.port, {chat("a", "1"), chat("a", "2"), chat("a", "3"), chat("a", "4")}))
            statuses << r->status();
        std::sort(statuses.begin(), statuses.end());
        QCOMPARE(statuses, QList<int>({200, 200, 503, 503}));
    }

    void sigtermFinishesRequestsInFlight()
    {
        Relay relay({"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--model", "llama3"});
        QVERIFY(relay.port);
        m_reply = {200, ollamaAnswer("late but whole"), ScriptedResponse::Delivery::whole, {}, 800};
        std::vector<std::unique_ptr<RawHttpRequest>> busy;
        for (int i = 0; i < 3; ++i)
            busy.push_back(std::make_unique<RawHttpRequest>(relay.port, "POST", "/chat", chat("a", "b")));
        QTRY_COMPARE(m_upstream.requests.size(), 3);
        relay.process().terminate();
        QTRY_VERIFY(relay.output().contains("stopping: 3 request(s) in flight"));
        RawHttpRequest late(relay.port, "POST", "/chat", chat("a", "b"));
        QTRY_VERIFY(late.isFinished());
        QCOMPARE(late.status(), 0); // no longer listening
        QTRY_VERIFY(std::all_of(busy.begin(), busy.end(), [](const auto& r) { return r->isFinished(); }));
        for (const auto& r : busy)
            QCOMPARE(QJsonDocument::fromJson(r->body())["result"].toString(), QString("late but whole"));
        QTRY_COMPARE_WITH_TIMEOUT(relay.process().state(), QProcess::NotRunning, 3000);
        QCOMPARE(relay.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(relay.process().exitCode(), 0);
        QVERIFY(relay.output().contains("tovalin-relay stopped"));
    }

    void refusedConfigurations_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::newRow("no provider") << QStringList{} << "" << "choose the upstream with --provider";
        QTest::newRow("unknown provider") << QStringList{"--provider", "gpt"} << "" << "unknown provider \"gpt\"";
        QTest::newRow("keyed without key") << QStringList{"--provider", "openai"} << "" << "the openai provider needs a key";
        QTest::newRow("key on the command line") << QStringList{"--provider", "openai", "--api-key", "sk"} << "" << "Unknown option 'api-key'";
        QTest::newRow("custom without url") << QStringList{"--provider", "custom"} << "k" << "the custom provider needs --base-url";
        QTest::newRow("config readable by others") << QStringList{"--config", "@file"} << "" << "chmod 600";
    }
    void refusedConfigurations()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, key);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString config = dir.filePath("relay.json");
        QVERIFY(writeFile(config, R"({"provider":"openai","apiKey":"sk-from-file"})"));
        QVERIFY(QFile::setPermissions(config, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        arguments.replaceInStrings("@file", config);
        Relay relay(arguments, key);
        QTRY_COMPARE(relay.process().state(), QProcess::NotRunning);
        QCOMPARE(relay.process().exitCode(), message.startsWith("Unknown") ? 1 : 2);
        const QString errors = QString::fromUtf8(relay.process().readAllStandardError());
        QVERIFY2(errors.contains(message), qPrintable(errors));

        // The same file, private, is taken: key and provider from it.
        QVERIFY(QFile::setPermissions(config, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        Relay accepted({"--config", config});
        QVERIFY(accepted.port);
        QVERIFY(accepted.output().contains("upstream openai, model chosen by each request"));
    }

private:
    ScriptedResponse m_reply;
    bool m_echo = false;
    FakeHttpServer m_upstream{[this](const RecordedRequest& request) {
        if (!m_echo)
            return m_reply;
        const QString content = QJsonDocument::fromJson(request.body)["messages"][0]["content"].toString();
        const QJsonObject answer{{"choices", QJsonArray{QJsonObject{{"message", QJsonObject{{"role", "assistant"}, {"content", content}}}}}}};
        return ScriptedResponse{200, QJsonDocument(answer).toJson(QJsonDocument::Compact), ScriptedResponse::Delivery::whole, {}, 300};
    }};
    std::unique_ptr<Relay> m_edgeRelay;
};

QTEST_GUILESS_MAIN(TestRelay)
#include "test_relay.moc"
