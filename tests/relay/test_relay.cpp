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
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
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

// The status of GET /health once answered; 0 when it is not.
int health(quint16 port)
{
    RawHttpRequest request(port, "GET", "/health");
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return request.isFinished(); }, 5000);
    return request.status();
}

// A client that sends `head` and, when trickling, one byte more every 200 ms; it keeps
// what comes back until the relay closes the connection.
class SlowClient : public QObject {
public:
    SlowClient(quint16 port, const QByteArray& head, bool trickle)
    {
        connect(&m_socket, &QTcpSocket::connected, this, [this, head] { m_socket.write(head); });
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { m_received += m_socket.readAll(); });
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] { m_closed = true; });
        connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { m_closed = true; });
        if (trickle) {
            connect(&m_trickle, &QTimer::timeout, this, [this] {
                if (m_socket.state() == QAbstractSocket::ConnectedState)
                    m_socket.write("a");
            });
            m_trickle.start(200);
        }
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool isClosed() const { return m_closed; }
    const QByteArray& received() const { return m_received; }
    void close() { m_socket.abort(); }
    int status() const { return m_received.startsWith("HTTP/1.1 ") ? m_received.mid(9, 3).toInt() : 0; }

private:
    QTcpSocket m_socket;
    QTimer m_trickle;
    QByteArray m_received;
    bool m_closed = false;
};

QList<int> repeated(int status, int count) { return QList<int>(count, status); }

// Relay limits and clients holding connections open: how many, what each sends (one byte more
// every 200 ms when trickling), the statuses they get, whether /health is asked meanwhile, and
// a note the relay's log must hold.
struct HostileRow {
    QStringList limits;
    int clients;
    QByteArray head;
    bool trickle;
    QList<int> statuses;
    bool healthDuring;
    QString note;
};

QByteArray chatRequest(const QByteArray& headers, const QByteArray& body)
{
    return "POST /chat HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body;
}

// Ollama's streamed answer, a JSON line per piece.
QList<QByteArray> ollamaPieces(const QStringList& pieces)
{
    QList<QByteArray> lines;
    for (const QString& piece : pieces)
        lines << QJsonDocument(QJsonObject{{"message", QJsonObject{{"role", "assistant"}, {"content", piece}}}, {"done", false}}).toJson(QJsonDocument::Compact) + "\n";
    return lines << "{\"done\":true}\n";
}


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

Q_DECLARE_METATYPE(HostileRow)

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
        QCOMPARE(health(relay.port), 200);
        // One line per request, without the texts.
        QTRY_VERIFY(relay.output().contains("\"POST /chat\" 200"));
        QVERIFY(!relay.output().contains("secret") && !relay.output().contains("Fixed"));
    }

    void edgeCases()
    {
        Relay relay({"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--model", "llama3",
                     "--timeout", "0.5", "--max-body", "4096", "--rate-limit", "0"});
        QVERIFY(relay.port);
        const ScriptedResponse fine{200, ollamaAnswer("ok")};
        const QString malformed = "The body must be a JSON object with the strings \"prompt\" and \"text\" (and optionally \"model\")";
        const QString tooLarge = "The request is larger than 4096 bytes";
        const struct { QByteArray body; ScriptedResponse upstream; int status; QString error; } cases[] = {
            {R"({"prompt": "Fix", )", fine, 400, malformed},
            {R"({"prompt":"Fix","model":""})", fine, 400, malformed},
            {R"({"prompt":"Fix","text":7})", fine, 400, malformed},
            {chat("Fix", QString(4097, 'x')), fine, 413, tooLarge},
            {chat("Fix", QString(300000, 'x')), fine, 413, tooLarge},
            {chat("Fix", "t"), {404, "{\"error\":\"model \\\"llama3\\\" not found, try pulling it first\"}"}, 502,
             "The relay's provider failed: model \"llama3\" not found, try pulling it first"},
            {chat("Fix", "t"), {0, {}}, 504, "The relay's provider did not answer within 0.5 s"},
        };
        for (const auto& c : cases) {
            m_upstream.requests.clear();
            m_reply = c.upstream;
            const auto answers = sendAll(relay.port, {c.body});
            QCOMPARE(answers[0]->status(), c.status);
            QCOMPARE(errorOf(*answers[0]), c.error);
            QCOMPARE(m_upstream.requests.size(), c.status >= 500 ? 1 : 0);
        }
    }

    void upstreamDownAndRateLimit()
    {
        const QString dead = closedLoopbackUrl();
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

    // Clients that hold connections open without finishing a request are cut off, and
    // /health still answers while they try.
    void hostileClients_data()
    {
        QTest::addColumn<HostileRow>("row");
        QTest::newRow("headers trickling") << HostileRow{{"--header-timeout", "2"}, 100, "GET /health HTTP/1.1\r\nX-Slow: ", true,
                                                         repeated(408, 100), true, "\"-\" 408"};
        QTest::newRow("a body trickling") << HostileRow{{"--body-timeout", "2"}, 20, "POST /chat HTTP/1.1\r\nContent-Length: 100\r\n\r\n{",
                                                        true, repeated(408, 20), true, "\"POST /chat\" 408"};
        QTest::newRow("silent past the cap") << HostileRow{{"--max-connections", "30", "--header-timeout", "2"}, 40, {}, false,
                                                           repeated(408, 30) + repeated(503, 10), false, "too many connections (30 open)"};
        QTest::newRow("bodies past the budget")
            << HostileRow{{"--max-body", "1048576", "--body-budget", "3145728", "--body-timeout", "2"}, 5,
                          "POST /chat HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n" + QByteArray(65536, 'x'), false,
                          repeated(408, 3) + repeated(503, 2), true, "\"POST /chat\" 503"};
    }
    void hostileClients()
    {
        QFETCH(HostileRow, row);
        const auto& [limits, clients, head, trickle, statuses, healthDuring, note] = row;
        Relay relay(QStringList{"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--rate-limit", "0"} + limits);
        QVERIFY(relay.port);
        std::vector<std::unique_ptr<SlowClient>> slow;
        for (int i = 0; i < clients; ++i)
            slow.push_back(std::make_unique<SlowClient>(relay.port, head, trickle));
        if (healthDuring) {
            QTest::qWait(300);
            QCOMPARE(health(relay.port), 200);
            QVERIFY(std::none_of(slow.begin(), slow.end(), [](const auto& c) { return c->isClosed(); }));
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(slow.begin(), slow.end(), [](const auto& c) { return c->isClosed(); }), 15000);
        QList<int> seen;
        for (const auto& c : slow)
            seen << c->status();
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen, statuses);
        QVERIFY2(relay.output().contains(note), qPrintable(relay.output().right(300)));
        // Nothing of theirs is left holding the relay.
        QCOMPARE(health(relay.port), 200);
    }

    // An upstream that echoes the key it was sent: the key reaches neither the client nor the log.
    void upstreamEchoingTheKey()
    {
        const struct { QString key, message, shown, leak; } cases[] = { // message: {auth} is the Authorization header it got
            {"sk-relay-0123456789", "Incorrect API key provided: {auth}", "Incorrect API key provided: Bearer ***", "0123456789"},
            {"relay-key-0123456789", "project key {key} is disabled", "project key *** is disabled", "0123456789"}, // no known shape
            {"sk-relay-0123456789", "Incorrect API key provided: sk-rel**********6789", "Incorrect API key provided: sk-***", "*6789"},
        };
        for (const auto& c : cases) {
            Relay relay({"--provider", "custom", "--base-url", m_upstream.baseUrl() + "/v1", "--model", "m"}, c.key);
            QVERIFY(relay.port);
            m_script = [&](const RecordedRequest& request) {
                const QString text = QString(c.message).replace("{auth}", request.headers.value("authorization")).replace("{key}", c.key);
                return ScriptedResponse{500, QJsonDocument(QJsonObject{{"error", QJsonObject{{"message", text}}}}).toJson()};
            };
            const auto answers = sendAll(relay.port, {chat("Fix", "t")});
            m_script = nullptr;
            QCOMPARE(errorOf(*answers[0]), "The relay's provider failed: " + c.shown);
            QTRY_VERIFY(relay.output().contains("\"POST /chat\" 502"));
            QVERIFY2(!relay.output().contains(c.leak), qPrintable(relay.output()));
        }
    }

    // An upstream answering a chunked body of 1 GiB: the relay stops reading at the reply
    // cap and never holds much of it.
    void hugeChunkedUpstreamReply()
    {
        Relay relay({"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--model", "llama3", "--timeout", "30"});
        QVERIFY(relay.port);
        m_reply = {200, {}, ScriptedResponse::Delivery::flood};
        m_reply.floodBytes = qint64(1) << 30;
        const auto answers = sendAll(relay.port, {chat("Fix", "t")});
        QCOMPARE(answers[0]->status(), 502);
        QVERIFY2(errorOf(*answers[0]).contains("larger than 8 MiB"), qPrintable(errorOf(*answers[0])));
        const qint64 peak = procStatusKb("VmHWM", relay.process().processId());
        QVERIFY2(peak > 0 && peak < 100 * 1024, qPrintable(QString::number(peak)));
    }

    // The streamed form: asked for by the body or the Accept header, the answer goes out
    // as it arrives, as "delta" events and a last "done"; a failure before the first event
    // is the usual status and JSON, after it an "error" event.
    void streamedChat()
    {
        Relay relay({"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--model", "llama3",
                     "--timeout", "5", "--idle-timeout", "1", "--rate-limit", "0"});
        QVERIFY(relay.port);
        const QByteArray close = "Connection: close\r\n";
        const QByteArray streamMember = R"({"prompt":"Fix","text":"t","stream":true})";
        ScriptedResponse streamed{200, {}, ScriptedResponse::Delivery::stream};
        streamed.contentType = "application/x-ndjson";
        streamed.pieces = ollamaPieces({"Hel", "lo ", "world\n"});
        ScriptedResponse cut = streamed;
        cut.delivery = ScriptedResponse::Delivery::streamCut;
        cut.pieces.removeLast();
        const QByteArray done = R"({"done":true})";
        // text: the deltas joined; ending: the last event, or the body when not streamed.
        const struct { QByteArray request; ScriptedResponse upstream; int status; QString text; QByteArray ending; } cases[] = {
            {chatRequest(close, streamMember), streamed, 200, "Hello world", done}, // asked by the body
            {chatRequest(close + "Accept: text/event-stream\r\n", chat("Fix", "t")), streamed, 200, "Hello world", done},
            {chatRequest({}, streamMember), streamed, 200, "Hello world", done}, // kept alive, chunked
            {chatRequest(close, streamMember), {200, ollamaAnswer("  Hello world\n")}, 200, "Hello world", done}, // whole upstream
            {chatRequest(close, streamMember), {404, R"({"error":"model not found"})"}, 502, "",
             "{\"error\":\"The relay's provider failed: model not found\"}"}, // failing before the start
            {chatRequest(close, streamMember), cut, 200, "Hello world",
             "{\"error\":\"The relay's provider failed: The server closed the connection unexpectedly\"}"},
        };
        for (const auto& [request, upstream, status, text, ending] : cases) {
            std::unique_ptr<SlowClient> client;
            m_reply = upstream;
            // The last piece waits until the client has the first: nothing is held back.
            m_reply.holdLast = [&client] { return client && client->received().contains("delta"); };
            client = std::make_unique<SlowClient>(relay.port, request, false);
            QTRY_VERIFY_WITH_TIMEOUT(client->isClosed(), 10000);
            QCOMPARE(client->status(), status);
            const qsizetype headEnd = client->received().indexOf("\r\n\r\n");
            const QByteArray head = client->received().left(headEnd);
            QByteArray body = client->received().mid(headEnd + 4);
            QVERIFY2(head.contains(status == 200 ? "Content-Type: text/event-stream" : "Content-Type: application/json"), head.constData());
            if (head.contains("Transfer-Encoding: chunked")) {
                QByteArray joined;
                for (qsizetype at = 0, size = 1; size > 0; at += size + 2) {
                    const qsizetype lineEnd = body.indexOf("\r\n", at);
                    size = body.mid(at, lineEnd - at).toLongLong(nullptr, 16);
                    at = lineEnd + 2;
                    joined += body.mid(at, size);
                }
                body = joined;
            }
            if (status != 200) {
                QCOMPARE(body, ending);
                continue;
            }
            QVERIFY2(body.endsWith("\n\n"), body.constData());
            QList<QByteArray> events = body.chopped(2).split('\n');
            events.removeAll(QByteArray());
            QString joined;
            for (const QByteArray& event : events.first(events.size() - 1)) {
                QVERIFY2(event.startsWith("data: {\"delta\":"), event.constData());
                joined += QJsonDocument::fromJson(event.mid(6))["delta"].toString();
            }
            QCOMPARE(joined, text);
            QCOMPARE(events.last(), "data: " + ending);
        }
    }

    // A client that leaves while its answer streams ends the relay's request upstream.
    void aLeavingClientEndsItsUpstreamRequest()
    {
        Relay relay({"--provider", "ollama", "--base-url", m_upstream.baseUrl(), "--model", "llama3"});
        QVERIFY(relay.port);
        m_reply = {200, {}, ScriptedResponse::Delivery::streamHang};
        m_reply.contentType = "application/x-ndjson";
        m_reply.pieces = ollamaPieces({"Hel", "lo"});
        m_reply.pieces.removeLast(); // never done
        SlowClient client(relay.port, chatRequest({}, R"({"prompt":"Fix","text":"t","stream":true})"), false);
        QTRY_VERIFY(client.received().contains("delta"));
        QCOMPARE(m_upstream.openConnections(), 1);
        client.close();
        QTRY_COMPARE(m_upstream.openConnections(), 0);
        QTRY_VERIFY(relay.output().contains("\"POST /chat\" 499"));
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

    void refusedConfigurations()
    {
        QTemporaryDir dir;
        const QString config = dir.filePath("relay.json");
        QVERIFY(writeFile(config, R"({"provider":"openai","apiKey":"sk-from-file"})"));
        QVERIFY(QFile::setPermissions(config, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        const struct { QStringList arguments; QString key, message; } cases[] = {
            {{}, "", "choose the upstream with --provider"},
            {{"--provider", "gpt"}, "", "unknown provider \"gpt\""},
            {{"--provider", "openai"}, "", "the openai provider needs a key"},
            {{"--provider", "openai", "--api-key", "sk"}, "", "Unknown option 'api-key'"}, // never on the command line
            {{"--provider", "custom"}, "k", "the custom provider needs --base-url"},
            {{"--config", config}, "", "chmod 600"}, // a file others can read
        };
        for (const auto& [arguments, key, message] : cases) {
            Relay relay(arguments, key);
            QTRY_COMPARE(relay.process().state(), QProcess::NotRunning);
            QCOMPARE(relay.process().exitCode(), message.startsWith("Unknown") ? 1 : 2);
            const QString errors = QString::fromUtf8(relay.process().readAllStandardError());
            QVERIFY2(errors.contains(message), qPrintable(errors));
        }

        // The same file, private, is taken: key and provider from it.
        QVERIFY(QFile::setPermissions(config, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        Relay accepted({"--config", config});
        QVERIFY(accepted.port);
        QVERIFY(accepted.output().contains("upstream openai, model chosen by each request"));
    }

private:
    ScriptedResponse m_reply;
    bool m_echo = false;
    std::function<ScriptedResponse(const RecordedRequest&)> m_script;
    FakeHttpServer m_upstream{[this](const RecordedRequest& request) {
        if (m_script)
            return m_script(request);
        if (!m_echo)
            return m_reply;
        const QString content = QJsonDocument::fromJson(request.body)["messages"][0]["content"].toString();
        const QJsonObject answer{{"choices", QJsonArray{QJsonObject{{"message", QJsonObject{{"role", "assistant"}, {"content", content}}}}}}};
        return ScriptedResponse{200, QJsonDocument(answer).toJson(QJsonDocument::Compact), ScriptedResponse::Delivery::whole, {}, 300};
    }};
};

QTEST_GUILESS_MAIN(TestRelay)
#include "test_relay.moc"
