#include "claude_service.h"
#include "deepseek_service.h"
#include "fake_http_server.h"
#include "gemini_service.h"
#include "ollama_service.h"
#include "openai_service.h"
#include "provider_test_support.h"
#include "reply_rules.h"
#include "tovalin_api_service.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

namespace {

enum class Client { tovalin, openai, deepseek, claude, gemini, ollama };

// Everything a table needs to know about one client against the fake server.
struct ClientCase {
    Client id;
    const char* name;
    QByteArray path; // request path on the fake server
    QJsonObject (*expectedBody)(const QString& model, const QString& prompt, const QString& text);
    QByteArray successBody;     // a full provider answer, extra members included
    QByteArray emptyAnswerBody; // the array (or object) the answer sits in, empty
    QByteArray wrongTypeBody;
    QByteArray nullAnswerBody;
    QByteArray realErrorBody;
    QString realErrorMessage;
    QByteArray otherShapeErrorBody; // an "error" member of the shape this client does not read
};

QJsonArray userMessage(const QString& prompt, const QString& text)
{
    return {QJsonObject{{"role", "user"}, {"content", prompt + "\n\nText to process:\n" + text}}};
}

QJsonObject chatBody(const QString& model, const QString& prompt, const QString& text)
{
    return {{"model", model},
            {"messages", userMessage(prompt, text)},
            {"max_tokens", 4096},
            {"temperature", 0.7}};
}

const QByteArray kOpenAIError = R"({"error":{"message":"Incorrect API key provided","type":"invalid_request_error","param":null,"code":"invalid_api_key"}})";
const QByteArray kOpenAISuccess = R"({"id":"chatcmpl-9xk2","object":"chat.completion","created":1717000000,"model":"MODEL","choices":[{"index":0,"message":{"role":"assistant","content":"  Fixed text.\n","refusal":null},"logprobs":null,"finish_reason":"stop"}],"usage":{"prompt_tokens":31,"completion_tokens":4,"total_tokens":35},"system_fingerprint":"fp_0ba0d124f1"})";

const ClientCase kCases[] = {
    {Client::tovalin, "tovalin", "/chat",
     [](const QString& model, const QString& prompt, const QString& text) {
         return QJsonObject{{"prompt", prompt}, {"text", text}, {"model", model}};
     },
     R"({"result":"  Fixed text.\n","model":"gpt-4o-mini","usage":{"total_tokens":35}})",
     R"({})", R"({"result":7})", R"({"result":null})",
     R"({"error":"Daily request limit reached"})", "Daily request limit reached",
     R"({"error":{"message":"nested"}})"},
    {Client::openai, "openai", "/v1/chat/completions", chatBody, kOpenAISuccess,
     R"({"id":"x","choices":[]})", R"({"choices":[{"message":{"content":42}}]})",
     R"({"choices":[{"message":{"role":"assistant","content":null}}]})", kOpenAIError,
     "Incorrect API key provided", R"({"error":"Incorrect API key provided"})"},
    {Client::deepseek, "deepseek", "/chat/completions", chatBody, kOpenAISuccess,
     R"({"choices":[]})", R"({"choices":{"message":{"content":"x"}}})",
     R"({"choices":[{"message":null}]})", kOpenAIError, "Incorrect API key provided",
     R"({"error":{"message":404}})"},
    {Client::claude, "claude", "/v1/messages",
     [](const QString& model, const QString& prompt, const QString& text) {
         return QJsonObject{{"model", model}, {"max_tokens", 4096}, {"messages", userMessage(prompt, text)}};
     },
     R"({"id":"msg_01XFDUDYJgAACzvnptvVoYEL","type":"message","role":"assistant","model":"claude-3-5-sonnet-20241022","content":[{"type":"text","text":"  Fixed text.\n"},{"type":"text","text":"ignored"}],"stop_reason":"end_turn","stop_sequence":null,"usage":{"input_tokens":31,"output_tokens":4}})",
     R"({"type":"message","content":[]})", R"({"content":[{"type":"text","text":["Fixed"]}]})",
     R"({"content":[{"type":"text","text":null}]})",
     R"({"type":"error","error":{"type":"overloaded_error","message":"Overloaded"}})", "Overloaded",
     R"({"type":"error","error":"Overloaded"})"},
    {Client::gemini, "gemini", "/v1beta/models/gemini-1.5-flash:generateContent",
     [](const QString&, const QString& prompt, const QString& text) {
         return QJsonObject{
             {"contents", QJsonArray{QJsonObject{{"parts", QJsonArray{QJsonObject{
                              {"text", prompt + "\n\nText to process:\n" + text}}}}}}},
             {"generationConfig", QJsonObject{{"temperature", 0.7}, {"maxOutputTokens", 4096}}}};
     },
     R"({"candidates":[{"content":{"parts":[{"text":"  Fixed text.\n"}],"role":"model"},"finishReason":"STOP","index":0,"safetyRatings":[{"category":"HARM_CATEGORY_HARASSMENT","probability":"NEGLIGIBLE"}]}],"usageMetadata":{"promptTokenCount":31,"candidatesTokenCount":4,"totalTokenCount":35},"modelVersion":"gemini-1.5-flash"})",
     R"({"candidates":[],"usageMetadata":{}})", R"({"candidates":[{"content":{"parts":{"text":"x"}}}]})",
     R"({"candidates":[{"content":{"parts":[{"text":null}]}}]})",
     R"({"error":{"code":400,"message":"API key not valid. Please pass a valid API key.","status":"INVALID_ARGUMENT"}})",
     "API key not valid. Please pass a valid API key.", R"({"error":"INVALID_ARGUMENT"})"},
    {Client::ollama, "ollama", "/api/chat",
     [](const QString& model, const QString& prompt, const QString& text) {
         return QJsonObject{{"model", model}, {"messages", userMessage(prompt, text)}, {"stream", false}};
     },
     R"({"model":"llama3","created_at":"2024-05-01T10:00:00.123456Z","message":{"role":"assistant","content":"  Fixed text.\n"},"done_reason":"stop","done":true,"total_duration":512345678,"load_duration":1234567,"prompt_eval_count":31,"eval_count":4})",
     R"({"model":"llama3","message":{"role":"assistant"},"done":true})", R"({"message":"Fixed text."})",
     R"({"message":{"role":"assistant","content":null}})",
     R"({"error":"model \"llama3\" not found, try pulling it first"})",
     "model \"llama3\" not found, try pulling it first", R"({"error":{"message":"nested"}})"},
};

const ClientCase& caseOf(Client id)
{
    for (const ClientCase& s : kCases)
        if (s.id == id)
            return s;
    Q_UNREACHABLE();
}

QString modelFor(Client id)
{
    switch (id) {
    case Client::gemini: return "gemini-1.5-flash";
    case Client::ollama: return "llama3";
    case Client::claude: return "claude-3-5-sonnet-20241022";
    default: return "gpt-4o-mini";
    }
}

std::unique_ptr<AIService> makeClient(Client id, const QString& base, const QString& key,
                                      std::chrono::milliseconds timeout = 5s)
{
    const QString model = modelFor(id);
    switch (id) {
    case Client::tovalin: return std::make_unique<TovalinAPIService>(base, model, timeout);
    case Client::openai:
        return std::make_unique<OpenAIService>(key, model, base + "/v1/chat/completions", timeout);
    case Client::deepseek:
        return std::make_unique<DeepSeekService>(key, model, base + "/chat/completions", timeout);
    case Client::claude:
        return std::make_unique<ClaudeService>(key, model, base + "/v1/messages", timeout);
    case Client::gemini:
        return std::make_unique<GeminiService>(key, model, base + "/v1beta/models", timeout);
    case Client::ollama: return std::make_unique<OllamaService>(base, model, timeout);
    }
    return nullptr;
}

// Headers QNetworkAccessManager adds on its own; everything else is the client's doing.
const QList<QByteArray> kTransportHeaders = {"host", "content-length", "connection",
                                             "accept-encoding", "accept-language", "user-agent"};

QMap<QByteArray, QByteArray> clientHeaders(const RecordedRequest& request)
{
    QMap<QByteArray, QByteArray> headers;
    for (const auto& [name, value] : request.headers)
        if (!kTransportHeaders.contains(name.toLower()))
            headers.insert(name.toLower(), value);
    return headers;
}

// A port with nothing listening on it.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

Q_DECLARE_METATYPE(Client)

class ProviderClientsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exactRequest_data();
    void exactRequest();
    void statusMatrix_data();
    void statusMatrix();
    void keysAreCheckedBeforeSending();
    void geminiUrlIsValidatedAsWritten();
    void ollamaHosts();
    void transportFailures();
    void timeOut();
    void replyWithoutHttpStatus();
    void oneSharedNetworkManager();

private:
    std::unique_ptr<FakeHttpServer> m_server;
};

void ProviderClientsTest::initTestCase()
{
    // Building clients must not bring up the network stack; only a request does.
    for (const ClientCase& s : kCases)
        makeClient(s.id, "http://127.0.0.1:1", "key");
    QVERIFY(QCoreApplication::instance()->findChildren<QNetworkAccessManager*>().isEmpty());
}

void ProviderClientsTest::init()
{
    m_server = std::make_unique<FakeHttpServer>();
    QVERIFY(m_server->listen());
}

void ProviderClientsTest::cleanup() { m_server.reset(); }

void ProviderClientsTest::exactRequest_data()
{
    QTest::addColumn<Client>("client");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QMap<QByteArray, QByteArray>>("headers");

    const QString prompt = "Fix grammar: keep \"quotes\", ünïcode and \\backslashes\\.";
    const QString text = "line one\nline two\t✓ ";
    const QMap<QByteArray, QByteArray> json{{"content-type", "application/json"}};
    for (const auto& [name, value] : {std::pair{"", text}, std::pair{"/empty text", QString()}}) {
        const auto row = [&](Client c, QByteArray query, QMap<QByteArray, QByteArray> headers) {
            QTest::addRow("%s%s", caseOf(c).name, name) << c << prompt << value << query << headers;
        };
        auto with = [&](std::initializer_list<std::pair<const QByteArray, QByteArray>> extra) {
            QMap<QByteArray, QByteArray> h = json;
            for (const auto& [k, v] : extra)
                h.insert(k, v);
            return h;
        };
        row(Client::tovalin, {}, json);
        row(Client::openai, {}, with({{"authorization", "Bearer sk-test-123"}}));
        row(Client::deepseek, {}, with({{"authorization", "Bearer sk-test-123"}}));
        row(Client::claude, {}, with({{"x-api-key", "sk-test-123"}, {"anthropic-version", "2023-06-01"}}));
        row(Client::gemini, "key=sk-test-123", json);
        row(Client::ollama, {}, json);
    }
}

void ProviderClientsTest::exactRequest()
{
    QFETCH(Client, client);
    QFETCH(QString, prompt);
    QFETCH(QString, text);
    QFETCH(QByteArray, query);
    using HeaderMap = QMap<QByteArray, QByteArray>;
    QFETCH(HeaderMap, headers);

    m_server->enqueue(ScriptedResponse::json(200, caseOf(client).successBody));
    auto service = makeClient(client, m_server->baseUrl(), "sk-test-123");
    QVERIFY(outcomeOf(*service, prompt, text).startsWith("answer: "));

    QCOMPARE(m_server->requests().size(), 1);
    const RecordedRequest& request = m_server->requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, caseOf(client).path);
    QCOMPARE(request.query, query);
    QCOMPARE(clientHeaders(request), headers);

    QJsonParseError error{};
    const QJsonObject body = QJsonDocument::fromJson(request.body, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject expected = caseOf(client).expectedBody(modelFor(client), prompt, text);
    QCOMPARE(body.keys(), expected.keys());
    for (const QString& key : expected.keys())
        QVERIFY2(body.value(key) == expected.value(key), qPrintable(key));
}

void ProviderClientsTest::statusMatrix_data()
{
    QTest::addColumn<Client>("client");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");

    const QByteArray html = "<html><head><title>500 Internal Server Error</title></head>"
                            "<body><center><h1>500 Internal Server Error</h1></center></body></html>";
    const QString notJson = "The response is not valid JSON";
    for (const ClientCase& s : kCases) {
        const Client c = s.id;
        const bool keyed = c != Client::tovalin && c != Client::ollama;
        const QString hint = c == Client::ollama ? ". Make sure Ollama is running." : "";
        const QString message = serverError(s.realErrorMessage);
        const auto row = [&](const char* scenario, int status, QByteArray body, QString expected) {
            QTest::addRow("%s/%s", s.name, scenario) << c << status << body << expected;
        };
        row("200", 200, s.successBody,
            c == Client::tovalin ? "answer:   Fixed text.\n" : "answer: Fixed text.");
        row("401", 401, s.realErrorBody, keyed ? kInvalidKey : message);
        row("403", 403, s.realErrorBody, c == Client::gemini ? kInvalidKey : message);
        row("429", 429, s.realErrorBody, keyed ? kRateLimited : message);
        row("404", 404, s.realErrorBody, message);
        row("500", 500, s.realErrorBody, message);
        row("500 html", 500, html, serverError("Status code: 500" + hint));
        row("502 empty", 502, "", serverError("Status code: 502" + hint));
        row("500 other error shape", 500, s.otherShapeErrorBody, serverError("Status code: 500" + hint));
        row("201", 201, s.successBody, serverError("Status code: 201" + hint));
        row("200 malformed", 200, R"({"choices": [{"message": )",
            c == Client::tovalin ? "TransportError: " + notJson : networkError(notJson));
        row("200 json null", 200, "null",
            c == Client::tovalin ? "TransportError: " + notJson : networkError(notJson));
        row("200 empty", 200, s.emptyAnswerBody, kInvalidResponse);
        row("200 wrong type", 200, s.wrongTypeBody, kInvalidResponse);
        row("200 null answer", 200, s.nullAnswerBody, kInvalidResponse);
        row("200 array", 200, "[]", kInvalidResponse);
    }
    QTest::addRow("claude/200 first block without text")
        << Client::claude << 200
        << QByteArray(R"({"content":[{"type":"tool_use","id":"t"},{"type":"text","text":"late"}]})")
        << kInvalidResponse;
    QTest::addRow("gemini/200 candidate without content")
        << Client::gemini << 200 << QByteArray(R"({"candidates":[{"finishReason":"SAFETY"}]})")
        << kInvalidResponse;
    QTest::addRow("ollama/500 empty error string")
        << Client::ollama << 500 << QByteArray(R"({"error":""})") << serverError("");
}

void ProviderClientsTest::statusMatrix()
{
    QFETCH(Client, client);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);

    m_server->enqueue(status == 500 && body.startsWith("<html")
                          ? ScriptedResponse::text(status, body, "text/html")
                          : ScriptedResponse::json(status, body));
    auto service = makeClient(client, m_server->baseUrl(), "sk-test-123");
    const QString outcome = outcomeOf(*service, "Fix", "teh text");
    if (expected.endsWith("not valid JSON"))
        QVERIFY2(outcome.startsWith(expected), qPrintable(outcome));
    else
        QCOMPARE(outcome, expected);
    QCOMPARE(m_server->requests().size(), 1);
}

void ProviderClientsTest::keysAreCheckedBeforeSending()
{
    for (Client c : {Client::openai, Client::deepseek, Client::claude, Client::gemini}) {
        m_server->clearRequests();
        auto empty = makeClient(c, m_server->baseUrl(), "");
        QCOMPARE(outcomeOf(*empty, "p", "t"), kInvalidKey);
        QCOMPARE(m_server->requests().size(), 0);

        // Blanks are a key: the provider's answer decides. Gemini's blank breaks its URL.
        if (c != Client::gemini)
            m_server->enqueue(ScriptedResponse::json(401, caseOf(c).realErrorBody));
        auto blank = makeClient(c, m_server->baseUrl(), "   ");
        if (c == Client::gemini) {
            QCOMPARE(outcomeOf(*blank, "p", "t"), kInvalidResponse);
            QCOMPARE(m_server->requests().size(), 0);
        } else {
            QCOMPARE(outcomeOf(*blank, "p", "t"), kInvalidKey);
            QCOMPARE(m_server->requests().size(), 1);
            const RecordedRequest& sent = m_server->requests().first();
            QVERIFY(sent.hasHeader(c == Client::claude ? "x-api-key" : "authorization"));
        }
    }
    // The keyless clients send without one.
    for (Client c : {Client::tovalin, Client::ollama}) {
        m_server->clearRequests();
        m_server->enqueue(ScriptedResponse::json(200, caseOf(c).successBody));
        auto service = makeClient(c, m_server->baseUrl(), "");
        QVERIFY(outcomeOf(*service, "p", "t").startsWith("answer: "));
        QCOMPARE(m_server->requests().size(), 1);
    }
}

void ProviderClientsTest::geminiUrlIsValidatedAsWritten()
{
    const QString base = m_server->baseUrl() + "/v1beta/models";
    const std::pair<QString, QString> rejected[] = {
        {"AIza key", "gemini-1.5-flash"}, {"AIza|key", "gemini-1.5-flash"},
        {"AIzakéy", "gemini-1.5-flash"},  {"AIza%zz", "gemini-1.5-flash"},
        {"AIzakey", "gemini 1.5"},        {"AIza\"key", "gemini-1.5-flash"}};
    for (const auto& [key, model] : rejected) {
        GeminiService service(key, model, base, 5s);
        QCOMPARE(outcomeOf(service, "p", "t"), kInvalidResponse);
    }
    QCOMPARE(m_server->requests().size(), 0);

    // URL-safe characters go out exactly as written, nothing encoded or decoded.
    m_server->enqueue(ScriptedResponse::json(200, caseOf(Client::gemini).successBody));
    GeminiService service("AIza-Sy_9.x~Z", "models-v2:beta", base, 5s);
    QCOMPARE(outcomeOf(service, "p", "t"), QString("answer: Fixed text."));
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(m_server->requests().first().target,
             QByteArray("/v1beta/models/models-v2:beta:generateContent?key=AIza-Sy_9.x~Z"));
}

void ProviderClientsTest::ollamaHosts()
{
    // Nothing listening: the host is quoted exactly as the user stored it.
    const QString deadHost = QString("http://127.0.0.1:%1/").arg(closedPort());
    OllamaService dead(deadHost, "llama3", 5s);
    QCOMPARE(outcomeOf(dead, "p", "t"),
             serverError("Cannot connect to Ollama. Make sure Ollama is running on " + deadHost));

    const QString port = QString::number(m_server->port());
    for (const QString& host : QStringList{QString(), "127.0.0.1:" + port, "localhost:" + port,
                                "ftp://127.0.0.1:" + port, "http://127.0.0.1:" + port + "/a b",
                                "http://", "http:///path", "http://127.0.0.1:" + port + "/ä"}) {
        OllamaService service(host, "llama3", 5s);
        QCOMPARE(outcomeOf(service, "p", "t"), serverError("Invalid Ollama host URL"));
    }
    QCOMPARE(m_server->requests().size(), 0);

    // A trailing slash is accepted. The path is joined as text ("//api/chat"), but Qt's
    // HTTP layer merges the double slash before it goes out.
    m_server->enqueue(ScriptedResponse::json(200, caseOf(Client::ollama).successBody));
    OllamaService slash(m_server->baseUrl() + "/", "llama3", 5s);
    QCOMPARE(outcomeOf(slash, "p", "t"), QString("answer: Fixed text."));
    QCOMPARE(m_server->requests().first().path, QByteArray("/api/chat"));
}

void ProviderClientsTest::transportFailures()
{
    const QString dead = QString("http://127.0.0.1:%1").arg(closedPort());
    for (const ClientCase& s : kCases) {
        if (s.id == Client::ollama)
            continue; // its refused connection has a message of its own (ollamaHosts)
        auto service = makeClient(s.id, dead, "sk-test-123");
        QCOMPARE(outcomeOf(*service, "p", "t"),
                 s.id == Client::tovalin ? QString("TransportError: Connection refused")
                                         : networkError("Connection refused"));
    }

    // A server that hangs up without answering is a transport failure too, not a status.
    m_server->setHandler([](const RecordedRequest&) { return ScriptedResponse::hangUp(); });
    for (const ClientCase& s : kCases) {
        auto service = makeClient(s.id, m_server->baseUrl(), "sk-test-123");
        const QString text = "The server closed the connection unexpectedly";
        QCOMPARE(outcomeOf(*service, "p", "t"),
                 s.id == Client::tovalin ? "TransportError: " + text : networkError(text));
    }
}

void ProviderClientsTest::timeOut()
{
    for (const ClientCase& s : kCases) {
        m_server->enqueue(ScriptedResponse::silence());
        auto service = makeClient(s.id, m_server->baseUrl(), "sk-test-123", 300ms);
        QElapsedTimer clock;
        clock.start();
        const QString outcome = outcomeOf(*service, "p", "t");
        QVERIFY2(clock.elapsed() >= 250 && clock.elapsed() < 3000,
                 qPrintable(QString::number(clock.elapsed())));
        const QString text = "The request timed out";
        QCOMPARE(outcome, s.id == Client::tovalin ? "TransportError: " + text : networkError(text));
    }
    QCOMPARE(m_server->requests().size(), qsizetype(std::size(kCases)));
}

void ProviderClientsTest::replyWithoutHttpStatus()
{
    // A reply from a non-HTTP transport carries no status, whatever its body says.
    ReplyRules rules;
    rules.answerPath = {QString("result")};
    try {
        readAnswer(rules, std::nullopt, R"({"result":"x"})");
        QFAIL("a reply without a status was accepted");
    } catch (const AIError& e) {
        QCOMPARE(e.kind(), AIError::Kind::invalidResponse);
    }
}

void ProviderClientsTest::oneSharedNetworkManager()
{
    m_server->setHandler([](const RecordedRequest&) { return ScriptedResponse::json(500, ""); });
    for (const ClientCase& s : kCases) {
        auto service = makeClient(s.id, m_server->baseUrl(), "k");
        outcomeOf(*service, "p", "t");
    }
    QCOMPARE(m_server->requests().size(), qsizetype(std::size(kCases)));
    QCOMPARE(QCoreApplication::instance()->findChildren<QNetworkAccessManager*>().size(), 1);
}

QTEST_GUILESS_MAIN(ProviderClientsTest)
#include "test_provider_clients.moc"
