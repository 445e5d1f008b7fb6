#include "ai_error.h"
#include "app_state.h"
#include "console_capture.h"
#include "fake_services.h"
#include "memory_defaults_store.h"

#include <QCoro/QCoroTask>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
struct Fixture {
    MemoryDefaultsStore defaults;
    FakeSelectionAccess access;
    std::shared_ptr<FakeAIService::Script> script = std::make_shared<FakeAIService::Script>();
    QList<AIProvider> providers; // one entry per client built
    AppState state{{&defaults, nullptr, &access, [this](const AppSettings& s) {
                        providers.append(s.aiProvider);
                        return std::make_unique<FakeAIService>(script);
                    }}};
    Fixture() { script->clock = &access.clock; }
    void run(const QString& text) { QCoro::waitFor(state.executeCommand(state.commands()[2], text)); }
};
} // namespace

class TestPipeline : public QObject {
    Q_OBJECT
private slots:
    void nothingIsPastedOrRecordedWithoutAnAnswer()
    {
        const QString tooLarge(AppState::maxTextBytes + 1, 'x');
        const struct { QString text; std::exception_ptr error; QString line; bool sent; } cases[] = {
            {"", nullptr, "No text to process", false},
            {tooLarge, nullptr, "Command execution error: The selected text is too large to send: 1.0 MiB, the limit is 1 MiB", false},
            {"text", std::make_exception_ptr(AIError::invalidAPIKey()), "Command execution error: invalidAPIKey", true},
            {"text", std::make_exception_ptr(TransportError("Connection refused")), "Command execution error: Connection refused", true},
            // A NUL inside a message ends neither the line nor what the user is told.
            {"text", std::make_exception_ptr(TransportError(QString::fromUtf8("bad\0rest", 8))), "Command execution error: bad\\x00rest", true},
        };
        for (const auto& c : cases) {
            Fixture f;
            f.script->error = c.error;
            ConsoleCapture console;
            bool wasProcessing = false;
            QObject::connect(&f.state, &AppState::isProcessingChanged, [&] { wasProcessing |= f.state.isProcessing(); });
            QStringList failures;
            QObject::connect(&f.state, &AppState::commandFailed,
                             [&](const Command& command, const QString& message) { failures << command.name + ": " + message; });
            f.run(c.text);
            QTest::qWait(150);
            QCOMPARE(console.lines.join('|'), c.line); // names the row first
            QCOMPARE(wasProcessing, !c.text.isEmpty());
            QCOMPARE(f.script->calls.size(), qsizetype(c.sent));
            // The user is told in words, not in the log's case form.
            QCOMPARE(failures.size(), c.text.isEmpty() ? 0 : 1);
            if (!failures.isEmpty())
                QVERIFY2(failures[0].startsWith(f.state.commands()[2].name + ": ") && !failures[0].contains("Error("), qPrintable(failures[0]));
            QCOMPARE(f.state.runsInFlight(), 0);
            QVERIFY(!f.state.isProcessing() && f.state.history().isEmpty() && f.access.pasted.isEmpty());
            QVERIFY(!f.defaults.values.contains(AppState::historyKey));
        }
        Fixture f; // right at the limit the text is sent
        f.run(QString(AppState::maxTextBytes, 'x'));
        QCOMPARE(f.state.history().size(), 1);
    }

    void anAnswerIsRecordedThenPastedAfterTheWait()
    {
        Fixture f;
        f.script->answer = "X";
        f.script->delayMs = 20;
        Command command = f.state.commands()[2];
        qsizetype historyAtPaste = -1;
        f.access.onPaste = [&] { historyAtPaste = f.state.history().size(); };
        f.run("  "); // blanks are a text
        QCOMPARE(f.access.pasted, QStringList{"X"});
        QVERIFY(f.access.pastedAtMs[0] - f.script->answeredAtMs >= AppState::pasteDelayMs);
        QCOMPARE(historyAtPaste, 1); // recorded before the paste
        QVERIFY(!f.state.isProcessing());
        QCOMPARE(f.script->calls[0], std::make_pair(command.prompt, QStringLiteral("  ")));

        const HistoryItem item = f.state.history().first();
        QVERIFY(item.commandId == command.id && item.commandName == command.name && item.success && !item.errorMessage);
        QVERIFY(item.originalText == "  " && item.resultText == "X" && !item.id.isNull() && item.id != command.id);
        QVERIFY(f.defaults.values.value(AppState::historyKey).contains("\"resultText\":\"X\""));

        command.name = "Something else"; // the entry keeps the name of the run
        f.state.updateCommand(command);
        QCOMPARE(f.state.history().first().commandName, item.commandName);

        f.script->answer = QString(); // an empty answer is a success too
        f.run("again");
        QCOMPARE(f.access.pasted.last(), QString());
        QCOMPARE(f.state.history().size(), 2);
    }

    void thePasteKeepsTheSelectionsEdges()
    {
        const struct { QString selected, answer, pasted; } cases[] = {
            {"First line.\nSecond line.\n", "Fixed.", "Fixed.\n"},
            {"  indented\n\n", "Done", "  Done\n\n"},
            {"\tword ", " padded answer \n", "\tpadded answer "},
            {"plain", " keeps its own blanks ", " keeps its own blanks "},
            {" \n ", "X", "X"}, // a blank selection has no edges to keep
        };
        for (const auto& c : cases) {
            Fixture f;
            f.script->answer = c.answer;
            f.run(c.selected);
            QCOMPARE(f.access.pasted, QStringList{c.pasted});
            QCOMPARE(f.state.history().first().resultText, c.answer);
        }
    }

    // Switching windows while the provider works leaves the answer on the clipboard; and
    // no answer carries control characters (ESC would end a terminal's bracketed paste).
    void theAnswerLandsCleanAndOnlyWhereTheTextCameFrom()
    {
        for (const bool switchWindow : {false, true}) {
            Fixture f;
            f.access.front = 7;
            f.script->answer = "rm\x1b[201~ -rf\x07 x\r\ny\rz\u0085\x7f\tend\u202e\u2066 \u202ab";
            f.script->delayMs = 30;
            if (switchWindow)
                QTimer::singleShot(5, [&] { f.access.front = 8; });
            QSignalSpy left(&f.state, &AppState::answerLeftOnClipboard);
            QSignalSpy succeeded(&f.state, &AppState::commandSucceeded);
            f.run("text");
            const QString clean = "rm[201~ -rf x\ny\nz\tend b";
            QCOMPARE(f.access.pasted, switchWindow ? QStringList() : QStringList{clean});
            QCOMPARE(f.access.leftOnClipboard, switchWindow ? QStringList{clean} : QStringList());
            QCOMPARE(left.size(), int(switchWindow));
            QCOMPARE(succeeded.size(), int(!switchWindow));
            QCOMPARE(f.state.history().first().resultText, clean); // recorded either way
        }
    }

    void providerIsChosenPerRunAndRunsOverlap()
    {
        Fixture f;
        f.script->answer = "A";
        f.script->delayMs = 50;
        auto first = f.state.executeCommand(f.state.commands()[0], "one");
        AppSettings s = f.state.settings();
        s.aiProvider = AIProvider::ollama;
        f.state.setSettings(s);
        auto second = f.state.executeCommand(f.state.commands()[0], "two");
        QVERIFY(f.state.isProcessing());
        QCOMPARE(f.state.runsInFlight(), 2);
        QCoro::waitFor(std::move(first));
        QCoro::waitFor(std::move(second));
        QCOMPARE(f.providers, QList<AIProvider>({AIProvider::tovalin, AIProvider::ollama}));
        QCOMPARE(f.access.pasted.size(), 2);
        QCOMPARE(f.state.history().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "test_pipeline.moc"
