// Long use and hostile servers through the real pipeline: AppState with the real Ollama
// client and real files, a fake server on loopback. In process: the bytes from the server
// only ever reach the client, the reply rules and AppState; the X11 road around them is the
// same for every reply and is driven for real by test_end_to_end, where each start of the
// binary and each typed key would cost seconds for no extra reach.
#include "app_state.h"
#include "command_library.h"
#include "fake_http_server.h"
#include "fake_services.h"
#include "file_defaults_store.h"
#include "json_codec.h"
#include "ollama_service.h"
#include "temp_state_dir.h"

#include <QCoro/QCoroTask>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>
#include <vector>

namespace {
// The text of the request's one user message, after the prompt.
QString sentText(const RecordedRequest& request)
{
    const QString message = QJsonDocument::fromJson(request.body)["messages"][0]["content"].toString();
    return message.section(QStringLiteral("Text to process:\n"), 1);
}

QByteArray answerBody(const QByteArray& content)
{
    return R"({"message":{"role":"assistant","content":")" + content + R"("},"done":true})";
}

// AppState over real files with an Ollama client pointed at the server.
struct Pipeline {
    explicit Pipeline(const QString& host, std::chrono::milliseconds timeout)
        : store(FileDefaultsStore::forCurrentUser()),
          state({&store, nullptr, &access, [host, timeout](const AppSettings&) {
                     return std::make_unique<OllamaService>(host, QStringLiteral("llama3"), timeout);
                 }})
    {
        access.selection = QStringLiteral("selected words");
    }
    FileDefaultsStore store;
    FakeSelectionAccess access;
    AppState state;
    Command command = defaultCommands().first();
};
} // namespace

class TestSoakPipeline : public QObject {
    Q_OBJECT
private slots:
    // Runs 0-849 go ten at a time, the last 150 one by one, so the newest hundred are known.
    // Every 5th run fails, every 40th gets no answer and times out.
    void thousandRunsKeepTheNewestHundred()
    {
        TempStateDir tmp;
        FakeHttpServer server([](const RecordedRequest& request) -> ScriptedResponse {
            const QString text = sentText(request);
            const int n = text.section(' ', 1).toInt();
            if (n % 40 == 39)
                return {0, {}};
            if (n % 5 == 4)
                return {500, R"({"error":"overloaded"})"};
            return {200, answerBody("answer to " + text.toUtf8())};
        });
        QVERIFY(server.isListening());
        Pipeline p(server.baseUrl(), std::chrono::milliseconds(1000));
        int failures = 0;
        connect(&p.state, &AppState::commandFailed, this, [&] { ++failures; });

        QStringList succeeded;
        qint64 warmKiB = 0;
        for (int first = 0; first < 1000;) {
            const int batch = first < 850 ? 10 : 1;
            std::vector<QCoro::Task<>> runs;
            for (int n = first; n < first + batch; ++n) {
                const QString text = QStringLiteral("run %1").arg(n);
                runs.push_back(p.state.executeCommand(p.command, text));
                if (n % 5 != 4 && n % 40 != 39)
                    succeeded.append(text);
            }
            for (QCoro::Task<>& run : runs)
                QCoro::waitFor(std::move(run));
            first += batch;
            if (first == 100)
                warmKiB = procStatusKb("VmRSS");
        }
        const qint64 grownKiB = procStatusKb("VmRSS") - warmKiB;

        QCOMPARE(server.requests.size(), 1000);
        QCOMPARE(failures, 1000 - int(succeeded.size()));
        QCOMPARE(p.access.pasted.size(), succeeded.size());
        for (const QString& pasted : std::as_const(p.access.pasted))
            QVERIFY2(pasted.startsWith("answer to run "), qPrintable(pasted));
        QCOMPARE(p.state.runsInFlight(), 0);

        QStringList newest;
        for (qsizetype i = succeeded.size() - 1; newest.size() < AppState::historyLimit; --i)
            newest.append(succeeded[i]);
        QStringList kept;
        for (const HistoryItem& item : p.state.history()) {
            QCOMPARE(item.resultText, "answer to " + item.originalText);
            kept.append(item.originalText);
        }
        QCOMPARE(kept, newest);
        QCOMPARE(readFile(p.store.pathForKey(AppState::historyKey)), JsonCodec::encodeHistoryDocument(p.state.history()));
        // The history is capped at 100 short entries and every reply, socket and coroutine of a
        // run is released when it ends; one kept reply per run would be some 10 KiB each, about
        // 9 MiB over these 900 runs. 4 MiB leaves room for the allocator's own slack.
        qInfo("resident memory grew by %lld KiB over runs 100-999", grownKiB);
        QVERIFY2(grownKiB < 4096, qPrintable(QString::number(grownKiB)));
    }

    // Each reply ends in its error, or in the whole answer when it is a valid one; nothing else
    // is pasted or recorded, and the palette opens again afterwards.
    void hostileRepliesEndInAnErrorOrABoundedAnswer()
    {
        const QByteArray fiveMiB(5 * 1024 * 1024, 'a');
        QByteArray garbage(10 * 1000 * 1000, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        const struct {
            const char* name;
            ScriptedResponse reply;
            QString error; // part of the failure's text; empty: the answer is pasted
        } cases[] = {
            {"closed mid-body", {200, answerBody("cut short"), ScriptedResponse::Delivery::truncated}, "closed"},
            {"10 MB of garbage", {200, garbage}, "larger than 8 MiB"}, // refused by its length
            {"5 MiB answer", {200, answerBody(fiveMiB)}, {}},
            {"not UTF-8", {200, answerBody("caf\xe9 \xff\xfe")}, "not valid JSON"},
            {"nested 100,000 deep", {200, QByteArray(100000, '[') + QByteArray(100000, ']')}, "not valid JSON"},
        };
        TempStateDir tmp;
        ScriptedResponse next;
        FakeHttpServer server([&](const RecordedRequest&) { return next; });
        QVERIFY(server.isListening());
        Pipeline p(server.baseUrl(), std::chrono::milliseconds(10000));
        QString failure;
        connect(&p.state, &AppState::commandFailed, this, [&](const Command&, const QString& m) { failure = m; });

        for (const auto& c : cases) {
            next = c.reply;
            failure.clear();
            const qsizetype pasted = p.access.pasted.size(), kept = p.state.history().size();
            QCoro::waitFor(p.state.executeCommand(p.command, QStringLiteral("selected words")));
            if (c.error.isEmpty()) {
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
                QCOMPARE(p.access.pasted.size(), pasted + 1);
                QCOMPARE(p.access.pasted.last().toUtf8(), fiveMiB);
                QCOMPARE(p.state.history().size(), kept + 1);
            } else {
                QVERIFY2(failure.contains(c.error), qPrintable(QString(c.name) + ": " + failure));
                QCOMPARE(p.access.pasted.size(), pasted);
                QCOMPARE(p.state.history().size(), kept);
            }
            QCOMPARE(p.state.runsInFlight(), 0);
            QVERIFY(!p.state.isProcessing());
            QCoro::waitFor(p.state.openOverlay());
            QVERIFY2(p.state.isOverlayVisible() && p.state.selectedText() == "selected words", c.name);
            p.state.closeOverlay();
        }
        next = {200, answerBody("fine again")};
        QCoro::waitFor(p.state.executeCommand(p.command, QStringLiteral("selected words")));
        QCOMPARE(p.access.pasted.last(), QStringLiteral("fine again"));
    }
};

QTEST_GUILESS_MAIN(TestSoakPipeline)
#include "test_soak_pipeline.moc"
