#include "ai_error.h"
#include "claude_service.h"
#include "custom_model_list.h"
#include "custom_openai_service.h"
#include "deepseek_service.h"
#include "fake_http_server.h"
#include "gemini_service.h"
#include "ollama_service.h"
#include "openai_service.h"
#include "provider_factory.h"
#include "stream_decoder.h"
#include "temp_state_dir.h"
#include "tovalin_api_service.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTimer>
#include <QTest>
#include <functional>
#include <memory>
#include <typeinfo>

Q_DECLARE_METATYPE(ScriptedResponse)

using namespace std::chrono_literals;
using HeaderMap = QMap<QByteArray, QByteArray>;
using Millis = std::chrono::milliseconds;

namespace {

const QByteArray kKey = "key-9_x.~Z"; // URL-safe characters must reach Gemini's query unchanged
const QString kInvalidKey = "AIError: Invalid API key. Please check your settings.";
const QString kRateLimited = "AIError: Rate limited. Please try again later.";
const QString kInvalidResponse = "AIError: Invalid response from AI service.";

QString serverError(const QString& message) { return "AIError: Server error: " + message; }

using MakeClient = std::function<std::unique_ptr<AIService>(const QString& base, const QString& key, Millis)>;

template <typename T>
MakeClient keyedClient(const char* model, const char* endpointPath)
{
    return [=](const QString& base, const QString& key, Millis timeout) {
        return std::make_unique<T>(key, model, base + endpointPath, timeout);
    };
}

// One client against the fake server. Every call sends prompt "Fix" and text " teh text\n".
struct ClientCase {
    const char* name;
    MakeClient make;
    QByteArray path;
    QByteArray query;
    HeaderMap headers; // besides Content-Type
    QByteArray body;
    QByteArray success; // a full answer whose text is "  Fixed text.\n"
    QByteArray error;   // a real error body of this provider and the message it carries
    QString message;
    QList<QByteArray> unusable; // 200 bodies without a readable answer
};

const QByteArray kChatBody = R"({"model":"gpt-4o-mini","messages":[{"role":"user","content":"Fix\n\nText to process:\n teh text\n"}],"max_tokens":4096,"temperature":0.7,"stream":true})";
const QByteArray kChatSuccess = R"({"id":"chatcmpl-9xk2","object":"chat.completion","created":1717000000,"model":"gpt-4o-mini","choices":[{"index":0,"message":{"role":"assistant","content":"  Fixed text.\n","refusal":null},"logprobs":null,"finish_reason":"stop"}],"usage":{"prompt_tokens":31,"completion_tokens":4,"total_tokens":35}})";
const QByteArray kChatError = R"({"error":{"message":"Incorrect API key provided","type":"invalid_request_error","param":null,"code":"invalid_api_key"}})";

const ClientCase kCases[] = {
    {"tovalin", [](const QString& b, const QString&, Millis t) { return std::make_unique<TovalinAPIService>(b, "gpt-4o-mini", t); },
     "/chat", "", {{"accept", "text/event-stream"}}, R"({"prompt":"Fix","text":" teh text\n","model":"gpt-4o-mini","stream":true})",
     R"({"result":"  Fixed text.\n","model":"gpt-4o-mini","usage":{"total_tokens":35}})",
     R"({"error":"Daily request limit reached"})", "Daily request limit reached",
     {"{}", R"({"result":7})", R"({"result":null})", "[]"}},
    {"openai", keyedClient<OpenAIService>("gpt-4o-mini", "/v1/chat/completions"),
     "/v1/chat/completions", "", {{"authorization", "Bearer " + kKey}}, kChatBody, kChatSuccess,
     kChatError, "Incorrect API key provided",
     {R"({"choices":[]})", R"({"choices":[{"message":{"content":42}}]})", R"({"choices":[{"message":{"content":null}}]})"}},
    {"deepseek", keyedClient<DeepSeekService>("gpt-4o-mini", "/chat/completions"),
     "/chat/completions", "", {{"authorization", "Bearer " + kKey}}, kChatBody, kChatSuccess,
     kChatError, "Incorrect API key provided",
     {R"({"choices":{"message":{"content":"x"}}})", R"({"choices":[{"message":null}]})", "[]"}},
    {"claude", keyedClient<ClaudeService>("claude-3-5-sonnet", "/v1/messages"),
     "/v1/messages", "", {{"x-api-key", kKey}, {"anthropic-version", "2023-06-01"}},
     R"({"model":"claude-3-5-sonnet","max_tokens":4096,"messages":[{"role":"user","content":"Fix\n\nText to process:\n teh text\n"}],"stream":true})",
     R"({"id":"msg_01XF","type":"message","role":"assistant","model":"claude-3-5-sonnet","content":[{"type":"text","text":"  Fixed text.\n"},{"type":"text","text":"ignored"}],"stop_reason":"end_turn","usage":{"input_tokens":31,"output_tokens":4}})",
     R"({"type":"error","error":{"type":"overloaded_error","message":"Overloaded"}})", "Overloaded",
     {R"({"content":[]})", R"({"content":[{"type":"tool_use","id":"t"},{"type":"text","text":"late"}]})", R"({"content":[{"text":["Fixed"]}]})"}},
    {"gemini", keyedClient<GeminiService>("gemini-1.5-flash", "/v1beta/models"),
     "/v1beta/models/gemini-1.5-flash:streamGenerateContent", "alt=sse&key=" + kKey, {},
     R"({"contents":[{"parts":[{"text":"Fix\n\nText to process:\n teh text\n"}]}],"generationConfig":{"temperature":0.7,"maxOutputTokens":4096}})",
     R"({"candidates":[{"content":{"parts":[{"text":"  Fixed text.\n"}],"role":"model"},"finishReason":"STOP","index":0}],"usageMetadata":{"totalTokenCount":35},"modelVersion":"gemini-1.5-flash"})",
     R"({"error":{"code":400,"message":"API key not valid. Please pass a valid API key.","status":"INVALID_ARGUMENT"}})", "API key not valid. Please pass a valid API key.",
     {R"({"usageMetadata":{}})", R"({"candidates":[]})", R"({"candidates":[{"finishReason":"SAFETY"}]})", R"({"candidates":[{"content":{"parts":{"text":"x"}}}]})"}},
    // A trailing slash on the typed base URL is dropped.
    {"custom", [](const QString& b, const QString& k, Millis t) { return std::make_unique<CustomOpenAIService>(k, "gpt-4o-mini", b + "/v1/", t); },
     "/v1/chat/completions", "", {{"authorization", "Bearer " + kKey}}, kChatBody, kChatSuccess,
     kChatError, "Incorrect API key provided",
     {R"({"choices":[]})", R"({"object":"chat.completion"})", R"({"choices":[{"message":{"content":null}}]})"}},
    {"ollama", [](const QString& b, const QString&, Millis t) { return std::make_unique<OllamaService>(b, "llama3", t); },
     "/api/chat", "", {}, R"({"model":"llama3","messages":[{"role":"user","content":"Fix\n\nText to process:\n teh text\n"}],"stream":true})",
     R"({"model":"llama3","created_at":"2024-05-01T10:00:00Z","message":{"role":"assistant","content":"  Fixed text.\n"},"done_reason":"stop","done":true,"eval_count":4})",
     R"({"error":"model \"llama3\" not found, try pulling it first"})", "model \"llama3\" not found, try pulling it first",
     {R"({"message":{"role":"assistant"}})", R"({"message":"Fixed text."})", R"({"message":{"content":null}})"}},
};

bool is(const ClientCase& c, const char* name) { return qstrcmp(c.name, name) == 0; }
const ClientCase& byName(const char* name)
{
    return *std::find_if(std::begin(kCases), std::end(kCases), [name](const ClientCase& c) { return is(c, name); });
}
bool keyed(const ClientCase& c) { return !is(c, "tovalin") && !is(c, "ollama"); }

// One provider's streamed form: events before, around and after the pieces of the answer
// (TEXT in `piece` stands for a JSON string), and a real error event of its own.
struct StreamCase {
    const char* client;
    QByteArray type;
    QList<QByteArray> head;
    QByteArray piece;
    QList<QByteArray> tail;
    QByteArray error;
    QString message;
};

const QByteArray kChatPiece = R"(data: {"id":"c1","object":"chat.completion.chunk","choices":[{"index":0,"delta":{"content":TEXT},"finish_reason":null}]})" "\n\n";
const QList<QByteArray> kChatHead = {R"(data: {"id":"c1","object":"chat.completion.chunk","choices":[{"index":0,"delta":{"role":"assistant","content":""},"finish_reason":null}]})" "\n\n"};
const QList<QByteArray> kChatTail = {R"(data: {"id":"c1","object":"chat.completion.chunk","choices":[{"index":0,"delta":{},"finish_reason":"stop"}]})" "\n\n", "data: [DONE]\n\n"};
const QByteArray kChatErrorEvent = R"(data: {"error":{"message":"The server had an error while processing your request.","type":"server_error"}})" "\n\n";

const StreamCase kStreams[] = {
    {"tovalin", "text/event-stream", {}, "data: {\"delta\":TEXT}\n\n", {"data: {\"done\":true}\n\n"},
     "data: {\"error\":\"Upstream timed out\"}\n\n", "Upstream timed out"},
    {"openai", "text/event-stream; charset=utf-8", kChatHead, kChatPiece, kChatTail, kChatErrorEvent, "The server had an error while processing your request."},
    {"deepseek", "text/event-stream; charset=utf-8", {": keep-alive\n\n"}, kChatPiece, kChatTail, kChatErrorEvent, "The server had an error while processing your request."},
    {"custom", "text/event-stream", kChatHead, kChatPiece, kChatTail, kChatErrorEvent, "The server had an error while processing your request."},
    {"claude", "text/event-stream; charset=utf-8",
     {"event: message_start\r\ndata: {\"type\":\"message_start\",\"message\":{\"id\":\"msg_1\",\"role\":\"assistant\",\"content\":[],\"usage\":{\"input_tokens\":31}}}\r\n\r\n",
      "event: content_block_start\r\ndata: {\"type\":\"content_block_start\",\"index\":0,\"content_block\":{\"type\":\"text\",\"text\":\"\"}}\r\n\r\n",
      "event: ping\r\ndata: {\"type\": \"ping\"}\r\n\r\n"},
     "event: content_block_delta\r\ndata: {\"type\":\"content_block_delta\",\"index\":0,\"delta\":{\"type\":\"text_delta\",\"text\":TEXT}}\r\n\r\n",
     {"event: content_block_stop\r\ndata: {\"type\":\"content_block_stop\",\"index\":0}\r\n\r\n",
      "event: content_block_delta\r\ndata: {\"type\":\"content_block_delta\",\"index\":1,\"delta\":{\"type\":\"text_delta\",\"text\":\"ignored\"}}\r\n\r\n",
      "event: message_delta\r\ndata: {\"type\":\"message_delta\",\"delta\":{\"stop_reason\":\"end_turn\"},\"usage\":{\"output_tokens\":4}}\r\n\r\n",
      "event: message_stop\r\ndata: {\"type\":\"message_stop\"}\r\n\r\n"},
     "event: error\r\ndata: {\"type\":\"error\",\"error\":{\"type\":\"overloaded_error\",\"message\":\"Overloaded\"}}\r\n\r\n", "Overloaded"},
    {"gemini", "text/event-stream", {},
     "data: {\"candidates\":[{\"content\":{\"parts\":[{\"text\":TEXT}],\"role\":\"model\"},\"index\":0}],\"modelVersion\":\"gemini-1.5-flash\"}\r\n\r\n",
     {"data: {\"candidates\":[{\"content\":{\"parts\":[{\"text\":\"\"}],\"role\":\"model\"},\"finishReason\":\"STOP\",\"index\":0}],\"usageMetadata\":{\"totalTokenCount\":35}}\r\n\r\n"},
     "data: {\"error\":{\"code\":503,\"message\":\"The model is overloaded. Please try again later.\",\"status\":\"UNAVAILABLE\"}}\r\n\r\n",
     "The model is overloaded. Please try again later."},
    {"ollama", "application/x-ndjson", {},
     "{\"model\":\"llama3\",\"created_at\":\"2024-05-01T10:00:00Z\",\"message\":{\"role\":\"assistant\",\"content\":TEXT},\"done\":false}\n",
     {"{\"model\":\"llama3\",\"message\":{\"role\":\"assistant\",\"content\":\"\"},\"done_reason\":\"stop\",\"done\":true,\"eval_count\":4}\n"},
     "{\"error\":\"an error was encountered while running the model: unexpected EOF\"}\n",
     "an error was encountered while running the model: unexpected EOF"},
};

// The answer "  Fixed text.\n" in three pieces, in the stream's own framing.
QList<QByteArray> streamEvents(const StreamCase& c, const QStringList& pieces = {"  Fixed", " text.", "\n"})
{
    QList<QByteArray> events = c.head;
    for (const QString& piece : pieces) {
        const QByteArray json = QJsonDocument(QJsonArray{piece}).toJson(QJsonDocument::Compact);
        events << QByteArray(c.piece).replace("TEXT", json.mid(1, json.size() - 2));
    }
    return events + c.tail;
}

// The relay client lets transport failures through unwrapped.
QString transportFailure(const ClientCase& c, const QString& text)
{
    return (is(c, "tovalin") ? "TransportError: " : "AIError: Network error: ") + text;
}

QCoro::Task<QString> outcomeTask(std::unique_ptr<AIService> service, AIService::TextSoFar onText = {})
{
    try {
        co_return "answer: " + co_await service->streamText("Fix", " teh text\n", std::move(onText));
    } catch (const AIError& e) {
        co_return "AIError: " + e.description();
    } catch (const TransportError& e) {
        co_return "TransportError: " + e.description();
    } catch (const std::exception& e) {
        co_return QString("other: ") + e.what();
    }
}

// QCoro::waitFor never returns when the awaited task throws, so errors are caught inside.
QString outcomeOf(std::unique_ptr<AIService> service, AIService::TextSoFar onText = {})
{
    return QCoro::waitFor(outcomeTask(std::move(service), std::move(onText)));
}

} // namespace

class ProviderClientsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_server.requests.clear(); }

    // The provider's exact request; a silent server ends it at the client's time-out.
    void exactRequestAndTimeOut_data() { clientRows(); }
    void exactRequestAndTimeOut()
    {
        QFETCH(int, client);
        const ClientCase& c = kCases[client];
        m_reply = {200, c.success};
        QVERIFY(outcomeOf(c.make(m_server.baseUrl(), kKey, 5s)).startsWith("answer: "));
        QCOMPARE(m_server.requests.size(), 1);
        const RecordedRequest& request = m_server.requests.first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, c.path);
        QCOMPARE(request.query, c.query);
        HeaderMap headers = request.headers; // less what the network layer adds on its own
        for (const char* name : {"host", "content-length", "connection", "accept-encoding", "accept-language", "user-agent"})
            headers.remove(name);
        HeaderMap expected = c.headers;
        expected.insert("content-type", "application/json");
        QCOMPARE(headers, expected);
        const auto canonical = [](const QByteArray& json) { return QJsonDocument::fromJson(json).toJson(QJsonDocument::Compact); };
        QCOMPARE(canonical(request.body), canonical(c.body));

        m_reply = {0, {}};
        QCOMPARE(outcomeOf(c.make(m_server.baseUrl(), kKey, 300ms)), transportFailure(c, "The request timed out"));
        // Every client so far went through the one shared network manager.
        QCOMPARE(qApp->findChildren<QNetworkAccessManager*>().size(), 1);
    }

    void replies_data()
    {
        QTest::addColumn<int>("client");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        for (int i = 0; i < int(std::size(kCases)); ++i) {
            const ClientCase& c = kCases[i];
            const QString message = serverError(c.message);
            const auto fallback = [&](int status) {
                return serverError("Status code: " + QString::number(status) + (is(c, "ollama") ? ". Make sure Ollama is running." : ""));
            };
            const auto row = [&](const char* what, int status, const QByteArray& body, const QString& expected) {
                QTest::addRow("%s/%d %s", c.name, status, what) << i << status << body << expected;
            };
            row("success", 200, c.success, is(c, "tovalin") ? "answer:   Fixed text.\n" : "answer: Fixed text.");
            row("error body", 401, c.error, keyed(c) ? kInvalidKey : message);
            row("error body", 403, c.error, is(c, "gemini") ? kInvalidKey : message);
            row("error body", 429, c.error, keyed(c) ? kRateLimited : message);
            row("error body", 500, c.error, message);
            row("html", 502, "<html><body><h1>502 Bad Gateway</h1></body></html>", fallback(502));
            row("success body", 201, c.success, fallback(201));
            // Each client reads one shape of error; the other one carries no message.
            row("other error shape", 500, keyed(c) ? R"({"error":"Overloaded"})" : R"({"error":{"message":"Overloaded"}})", fallback(500));
            row("malformed", 200, R"({"choices": [{"message": )", transportFailure(c, "The response is not valid JSON"));
            for (const QByteArray& body : c.unusable)
                row(body.constData(), 200, body, kInvalidResponse);
        }
    }
    void replies()
    {
        QFETCH(int, client);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        m_reply = {status, body};
        const QString outcome = outcomeOf(kCases[client].make(m_server.baseUrl(), kKey, 5s));
        if (expected.endsWith("not valid JSON")) // followed by the parser's own words
            QVERIFY2(outcome.startsWith(expected), qPrintable(outcome));
        else
            QCOMPARE(outcome, expected);
        QCOMPARE(m_server.requests.size(), 1);
    }

    void keys()
    {
        for (const ClientCase& c : kCases) {
            if (!keyed(c))
                continue;
            m_server.requests.clear();
            m_reply = {401, c.error};
            // An empty key fails unsent, except for an OpenAI-compatible server, which then gets no key.
            QCOMPARE(outcomeOf(c.make(m_server.baseUrl(), "", 5s)), kInvalidKey);
            QCOMPARE(m_server.requests.size(), is(c, "custom") ? 1 : 0);
            if (is(c, "custom"))
                QCOMPARE(m_server.requests.takeFirst().headers.value("authorization"), QByteArray());
            // Blanks are a key and go out; in Gemini's URL they are refused before sending.
            QCOMPARE(outcomeOf(c.make(m_server.baseUrl(), "   ", 5s)), is(c, "gemini") ? kInvalidResponse : kInvalidKey);
            QCOMPARE(m_server.requests.size(), is(c, "gemini") ? 0 : 1);
            for (const RecordedRequest& request : m_server.requests)
                QVERIFY(request.headers.contains("authorization") || request.headers.contains("x-api-key"));
        }
        const QString port = QString::number(m_server.serverPort());
        for (const QString& base : {QString(), "127.0.0.1:" + port + "/v1", "http://127.0.0.1:" + port + "/a b"})
            QCOMPARE(outcomeOf(std::make_unique<CustomOpenAIService>("", "m", base)),
                     serverError("Invalid OpenAI-compatible server URL"));
    }

    void customModelSuggestions()
    {
        const QByteArray list = R"({"object":"list","data":[{"id":"qwen2.5-7b","object":"model","owned_by":"llamacpp"},{"id":"llama-3.1-8b"},{"id":"qwen2.5-7b"},{"object":"model"}]})";
        const QStringList found{"qwen2.5-7b", "llama-3.1-8b"};
        const struct { QByteArray key; ScriptedResponse reply; std::optional<QStringList> expected; } cases[] = {
            {kKey, {200, list}, found}, {{}, {200, list}, found}, {kKey, {200, R"({"data":[]})"}, QStringList()},
            {kKey, {401, kChatError}, {}}, {kKey, {200, R"({"models":[{"name":"x"}]})"}, {}}, {kKey, {0, {}}, {}}, // refused; not a list; silent
        };
        for (const auto& [key, reply, expected] : cases) {
            m_server.requests.clear();
            m_reply = reply;
            QElapsedTimer clock;
            clock.start();
            QCOMPARE(QCoro::waitFor(CustomModelList::fetch(m_server.baseUrl() + "/v1/", key, 500ms)), expected);
            QVERIFY(clock.elapsed() < 1500);
            QCOMPARE(m_server.requests.size(), 1);
            QCOMPARE(m_server.requests[0].method, QByteArray("GET"));
            QCOMPARE(m_server.requests[0].path, QByteArray("/v1/models"));
            QCOMPARE(m_server.requests[0].headers.value("authorization"), key.isEmpty() ? QByteArray() : "Bearer " + key);
            QCOMPARE(QCoro::waitFor(CustomModelList::fetch("not a url", key)), std::optional<QStringList>());
            QCOMPARE(m_server.requests.size(), 1);
        }
    }

    void ollamaHosts()
    {
        const QString port = QString::number(m_server.serverPort());
        for (const QString& host : {QString(), "127.0.0.1:" + port, "ftp://127.0.0.1:" + port, "http://127.0.0.1:" + port + "/a b", QString("http://")})
            QCOMPARE(outcomeOf(std::make_unique<OllamaService>(host, "llama3")), serverError("Invalid Ollama host URL"));
        QCOMPARE(m_server.requests.size(), 0);

        // Credentials in the host never show in a message and go out with the one request.
        // (The relay's test sees the message for a host without them.)
        const QString dead = closedLoopbackUrl() + "/";
        QCOMPARE(outcomeOf(std::make_unique<OllamaService>(QString(dead).insert(7, "user:pw@"), "llama3")),
                 serverError("Cannot connect to Ollama. Make sure Ollama is running on " + QString(dead).insert(7, "***@")));
        m_reply = {200, byName("ollama").success};
        QCOMPARE(outcomeOf(std::make_unique<OllamaService>("http://user:pw@127.0.0.1:" + port, "llama3")), "answer: Fixed text.");
        QCOMPARE(m_server.requests.size(), 1);
        QCOMPARE(m_server.requests[0].headers.value("authorization"), "Basic dXNlcjpwdw==");
    }

    // One request, whatever the server does, and never past the deadline or the size cap.
    void hostileServers()
    {
        using D = ScriptedResponse::Delivery;
        const QString redirected = "Network error: The server redirected the request to %1; redirects are not followed";
        const QByteArray itself = m_server.baseUrl().toUtf8() + "/v1/chat/completions";
        const QByteArray elsewhere = m_elsewhere.baseUrl().toUtf8() + "/v1/chat/completions";
        const std::pair<ScriptedResponse, QString> cases[] = {
            {{200, kChatSuccess, D::trickle}, "Network error: The request timed out"},
            {{200, {}, D::endless}, "Network error: The reply is larger than 8 MiB"},
            {{200, {}, D::drop}, "Network error: The server closed the connection before answering"},
            {{307, {}, D::whole, itself}, redirected.arg(itself)},
            {{307, {}, D::whole, elsewhere}, redirected.arg(elsewhere)},
        };
        for (const auto& [reply, expected] : cases) {
            m_server.requests.clear();
            m_elsewhere.requests.clear();
            m_reply = reply;
            QElapsedTimer clock;
            clock.start();
            QCOMPARE(outcomeOf(kCases[1].make(m_server.baseUrl(), kKey, 1s)), "AIError: " + expected);
            QVERIFY(clock.elapsed() < 2000);
            QCOMPARE(m_server.requests.size(), 1);
            QCOMPARE(m_elsewhere.requests.size(), 0);
        }
    }

    // Every client reads its provider's stream as it comes, and fails the call, never
    // shortens the answer, when the stream breaks, reports an error, or outlasts the deadline.
    void streams_data()
    {
        using D = ScriptedResponse::Delivery;
        QTest::addColumn<int>("stream");
        QTest::addColumn<ScriptedResponse>("reply");
        QTest::addColumn<QString>("expected");
        for (int i = 0; i < int(std::size(kStreams)); ++i) {
            const StreamCase& c = kStreams[i];
            const ClientCase& client = byName(c.client);
            const QList<QByteArray> events = streamEvents(c);
            const auto reply = [&](D delivery, QList<QByteArray> pieces) {
                ScriptedResponse r{200, {}, delivery};
                r.contentType = c.type;
                r.pieces = std::move(pieces);
                r.gapMs = 40;
                return r;
            };
            const auto row = [&](const char* what, const ScriptedResponse& r, const QString& expected) {
                QTest::addRow("%s/%s", c.client, what) << i << r << expected;
            };
            const int started = int(c.head.size()) + 2; // two pieces of the answer have come
            row("streamed", reply(D::stream, events), is(client, "tovalin") ? "answer:   Fixed text.\n" : "answer: Fixed text.");
            // One event far larger than a read of the network layer.
            const QString large = QString(600 * 1024, QLatin1Char('a'));
            row("large event", reply(D::stream, streamEvents(c, {large})), "answer: " + large);
            row("error event", reply(D::stream, events.mid(0, started) << c.error), serverError(c.message));
            row("cut", reply(D::streamCut, events.mid(0, started)), transportFailure(client, "The server closed the connection unexpectedly"));
            row("no end event", reply(D::stream, events.mid(0, started)), transportFailure(client, "The answer stopped before its end"));
            row("hang", reply(D::streamHang, events.mid(0, started)), transportFailure(client, "The request timed out"));
            row("not a stream", reply(D::stream, events.mid(0, started) << "data: <html>\n\n" << "<html>\n"), transportFailure(client, "The stream is not valid JSON"));
            // A server that ignores the stream request answers in one piece.
            ScriptedResponse whole{200, client.success};
            whole.contentType = "application/json";
            row("whole", whole, is(client, "tovalin") ? "answer:   Fixed text.\n" : "answer: Fixed text.");
        }
    }
    void streams()
    {
        QFETCH(int, stream);
        QFETCH(ScriptedResponse, reply);
        QFETCH(QString, expected);
        const StreamCase& c = kStreams[stream];
        m_reply = reply;
        QStringList seen;
        QElapsedTimer clock;
        clock.start();
        const QString outcome = outcomeOf(byName(c.client).make(m_server.baseUrl(), kKey, 1s),
                                          [&](const QString& soFar) { seen << soFar; });
        QVERIFY2(expected.endsWith("not valid JSON") ? outcome.startsWith(expected) : outcome == expected, qPrintable(outcome.left(200)));
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(m_server.requests.size(), 1);
        QTRY_COMPARE(m_server.openConnections(), 0);
        // The text grew piece by piece as it arrived, each time starting as the answer does.
        if (reply.pieces.size() > 1 && !QByteArray(QTest::currentDataTag()).endsWith("event")) {
            QVERIFY2(seen.size() >= 2, qPrintable(seen.join('|')));
            QCOMPARE(seen.first(), is(byName(c.client), "tovalin") ? "  Fixed" : "Fixed");
            QCOMPARE(seen.value(1), is(byName(c.client), "tovalin") ? "  Fixed text." : "Fixed text.");
        }
    }

    // However the bytes of a stream are split, the same answer comes out.
    void streamSplits()
    {
        for (const StreamCase& c : kStreams) {
            const auto client = byName(c.client).make("http://127.0.0.1:1", kKey, 1s);
            const ReplyRules& rules = dynamic_cast<const ProviderService&>(*client).replyRules();
            const QByteArray bytes = streamEvents(c).join();
            const QString expected = rules.trimAnswer ? "Fixed text." : "  Fixed text.\n";
            for (qsizetype split = 1; split < bytes.size(); ++split) {
                StreamDecoder decoder(rules);
                decoder.feed(QByteArrayView(bytes).first(split));
                QVERIFY2(!decoder.isComplete(), c.client);
                decoder.feed(QByteArrayView(bytes).sliced(split));
                QVERIFY2(decoder.isComplete() && decoder.answer() == expected, qPrintable(QString("%1 at %2").arg(c.client).arg(split)));
            }
            StreamDecoder byteByByte(rules);
            for (char byte : bytes)
                byteByByte.feed(QByteArrayView(&byte, 1));
            QCOMPARE(byteByByte.answer(), expected);
        }
    }

    // The user stops a run: the connection closes at once and the call says so.
    void cancel()
    {
        m_reply = ScriptedResponse{200, {}, ScriptedResponse::Delivery::streamHang};
        m_reply.contentType = "application/x-ndjson";
        m_reply.pieces = streamEvents(kStreams[std::size(kStreams) - 1]).mid(0, 1);
        std::unique_ptr<AIService> client = byName("ollama").make(m_server.baseUrl(), kKey, 10s);
        AIService* raw = client.get();
        QElapsedTimer clock;
        clock.start();
        // As a key press would, from the event loop once the first words are in.
        QCOMPARE(outcomeOf(std::move(client), [raw](const QString&) { QTimer::singleShot(0, [raw] { raw->cancel(); }); }),
                 "other: Cancelled");
        QVERIFY(clock.elapsed() < 5000);
        QTRY_COMPARE(m_server.openConnections(), 0);
    }

    // A body with no length of its own (chunked, 1 GiB) from a server that writes as fast as
    // it is read: reading stops at the cap, and the process never holds the body.
    void chunkedBodyCap()
    {
        QProcess server;
        server.start(FAKE_OLLAMA_BINARY, {"--port", "0", "--flood", QString::number(1LL << 30)});
        QVERIFY(server.waitForReadyRead(5000));
        const QString port = QString::fromUtf8(server.readLine()).section(' ', 1).trimmed();
        const qint64 before = procStatusKb("VmHWM");
        QCOMPARE(outcomeOf(std::make_unique<OllamaService>("http://127.0.0.1:" + port, "llama3", 30s)),
                 "AIError: Network error: The reply is larger than 8 MiB");
        const qint64 grown = procStatusKb("VmHWM") - before;
        QVERIFY2(before > 0 && grown < 100 * 1024, qPrintable(QString("peak grew by %1 kB").arg(grown)));
        server.kill();
        server.waitForFinished();
    }

    // Each client gets its own provider's key (never another's), the chosen model, its address
    // and its time-out.
    void factory()
    {
        AppSettings s;
        s.selectedModel = "chosen";
        s.openaiApiKey = "sk-openai";
        s.claudeApiKey = "sk-ant";
        s.deepseekApiKey = "sk-deepseek";
        s.geminiApiKey = "AIza-gemini";
        s.ollamaHost = "http://10.1.2.3:11434/";
        s.customBaseURL = "http://10.1.2.3:8080/v1/";
        s.claudeModel = s.openaiModel = "stale"; // only selectedModel counts
        const struct { AIProvider provider; const std::type_info& type; QString key, url; Millis timeout; } rows[] = {
            {AIProvider::openai, typeid(OpenAIService), "sk-openai", "https://api.openai.com/v1/chat/completions", 60s},
            {AIProvider::deepseek, typeid(DeepSeekService), "sk-deepseek", "https://api.deepseek.com/chat/completions", 60s},
            {AIProvider::claude, typeid(ClaudeService), "sk-ant", "https://api.anthropic.com/v1/messages", 60s},
            {AIProvider::gemini, typeid(GeminiService), "AIza-gemini", "https://generativelanguage.googleapis.com/v1beta/models", 60s},
            {AIProvider::custom, typeid(CustomOpenAIService), "", "http://10.1.2.3:8080/v1/chat/completions", 120s}, // none stored
            {AIProvider::ollama, typeid(OllamaService), {}, s.ollamaHost, 120s},
            {AIProvider::tovalin, typeid(TovalinAPIService), {}, TOVALIN_RELAY_URL, 60s},
        };
        for (const auto& r : rows) {
            s.aiProvider = r.provider;
            const std::unique_ptr<AIService> service = makeAIService(s);
            const AIService& client = *service;
            QVERIFY2(typeid(client) == r.type, r.type.name());
            QString key, url, model;
            if (const auto* keyed = dynamic_cast<const KeyedProviderService*>(service.get()))
                std::tie(key, url, model) = std::tuple(keyed->apiKey(), keyed->baseURL(), keyed->model());
            else if (const auto* ollama = dynamic_cast<const OllamaService*>(service.get()))
                std::tie(url, model) = std::tuple(ollama->host(), ollama->model());
            else if (const auto* relay = dynamic_cast<const TovalinAPIService*>(service.get()))
                std::tie(url, model) = std::tuple(relay->baseURL(), relay->model());
            const Millis timeout = dynamic_cast<const ProviderService&>(client).timeout();
            QVERIFY2(key == r.key && url == r.url && model == "chosen" && timeout == r.timeout,
                     qPrintable(QString("%1 %2 %3 %4 ms").arg(key, url, model).arg(timeout.count())));
        }
        s.aiProvider = AIProvider::ollama;
        QCOMPARE(dynamic_cast<const OllamaService&>(*makeAIService(s, 2s)).timeout(), 2s);

        // The relay address: the setting when given, else the build's.
        s.aiProvider = AIProvider::tovalin;
        for (const auto& [setting, expected] : {std::pair<std::optional<QString>, QString>{std::nullopt, TOVALIN_RELAY_URL},
                                                {"", TOVALIN_RELAY_URL}, {"http://relay.lan:8787/", "http://relay.lan:8787"}}) {
            s.tovalinBaseURL = setting;
            QCOMPARE(dynamic_cast<const TovalinAPIService&>(*makeAIService(s)).baseURL(), expected);
        }
    }

private:
    static void clientRows()
    {
        QTest::addColumn<int>("client");
        for (int i = 0; i < int(std::size(kCases)); ++i)
            QTest::addRow("%s", kCases[i].name) << i;
    }

    ScriptedResponse m_reply;
    FakeHttpServer m_server{[this](const RecordedRequest&) { return m_reply; }};
    FakeHttpServer m_elsewhere{[](const RecordedRequest&) { return ScriptedResponse{200, kChatSuccess}; }};
};

QTEST_GUILESS_MAIN(ProviderClientsTest)
#include "test_provider_clients.moc"
