#include "ai_error.h"
#include "app_state.h"
#include "console_capture.h"
#include "fake_services.h"
#include "memory_defaults_store.h"

#include <QCoro/QCoroTask>
#include <QTest>

namespace {
struct Fixture {
    MemoryDefaultsStore defaults;
    FakeSelectionAccess access;
    std::shared_ptr<FakeAIService::Script> script = std::make_shared<FakeAIService::Script>();
    QList<AppSettings> factoryCalls;
    AppState state{{&defaults, nullptr, &access, [this](const AppSettings& s) {
                        factoryCalls.append(s);
                        return std::make_unique<FakeAIService>(script);
                    }}};
    Fixture() { script->clock = &access.clock; }
};
} // namespace

class TestPipeline : public QObject {
    Q_OBJECT
private slots:
    void emptyTextDoesNothing()
    {
        Fixture f;
        ConsoleCapture console;
        QCoro::waitFor(f.state.executeCommand(f.state.commands().first(), QString()));
        QCOMPARE(console.lines, QStringList{"No text to process"});
        QVERIFY(!f.state.isProcessing());
        QVERIFY(f.script->calls.isEmpty());
        QVERIFY(f.factoryCalls.isEmpty());
        QVERIFY(f.state.history().isEmpty());
        // A text of blanks is not empty.
        QCoro::waitFor(f.state.executeCommand(f.state.commands().first(), QStringLiteral("  ")));
        QCOMPARE(f.script->calls.size(), 1);
    }

    void failuresPasteAndRecordNothing()
    {
        const std::exception_ptr errors[] = {
            std::make_exception_ptr(AIError::invalidAPIKey()),
            std::make_exception_ptr(AIError::serverError(QStringLiteral("model \"x\" not found"))),
            std::make_exception_ptr(TransportError(QStringLiteral("Connection refused"))),
        };
        const QString expected[] = {
            QStringLiteral("Command execution error: invalidAPIKey"),
            QStringLiteral("Command execution error: serverError(\"model \\\"x\\\" not found\")"),
            QStringLiteral("Command execution error: Connection refused"),
        };
        for (int i = 0; i < 3; ++i) {
            Fixture f;
            f.script->error = errors[i];
            f.script->delayMs = 10;
            ConsoleCapture console;
            bool sawProcessing = false;
            QObject::connect(&f.state, &AppState::isProcessingChanged, &f.state,
                             [&] { sawProcessing |= f.state.isProcessing(); });
            QCoro::waitFor(f.state.executeCommand(f.state.commands().first(), QStringLiteral("text")));
            QTest::qWait(150);
            QCOMPARE(console.lines, QStringList{expected[i]});
            QVERIFY(sawProcessing);
            QVERIFY(!f.state.isProcessing());
            QVERIFY(f.state.history().isEmpty());
            QVERIFY(f.access.pasted.isEmpty());
            QVERIFY(!f.defaults.values.contains(QString::fromLatin1(AppState::historyKey)));
        }
    }

    void successRecordsThenPastesAfterTheWait()
    {
        Fixture f;
        f.script->answer = QStringLiteral("X");
        f.script->delayMs = 20;
        Command command = f.state.commands()[2];
        int historyAtPaste = -1;
        f.access.onPaste = [&] { historyAtPaste = int(f.state.history().size()); };

        QCoro::waitFor(f.state.executeCommand(command, QStringLiteral("the input")));
        QCOMPARE(f.access.pasted, QStringList{QStringLiteral("X")});
        QVERIFY2(f.access.pastedAtMs[0] - f.script->answeredAtMs >= AppState::pasteDelayMs,
                 qPrintable(QString::number(f.access.pastedAtMs[0] - f.script->answeredAtMs)));
        QCOMPARE(historyAtPaste, 1);
        QVERIFY(!f.state.isProcessing());
        QCOMPARE(f.script->calls[0], std::make_pair(command.prompt, QStringLiteral("the input")));

        const HistoryItem item = f.state.history().first();
        QCOMPARE(item.commandId, command.id);
        QCOMPARE(item.commandName, command.name);
        QCOMPARE(item.originalText, QStringLiteral("the input"));
        QCOMPARE(item.resultText, QStringLiteral("X"));
        QVERIFY(item.success);
        QVERIFY(!item.errorMessage);
        QVERIFY(!item.id.isNull() && item.id != command.id);
        QVERIFY(f.defaults.values.value(QString::fromLatin1(AppState::historyKey)).contains("\"resultText\":\"X\""));

        // Renaming the command later leaves the entry's name alone.
        command.name = QStringLiteral("Something else");
        f.state.updateCommand(command);
        QCOMPARE(f.state.history().first().commandName, item.commandName);

        // An empty answer is a success too.
        f.script->answer = QString();
        QCoro::waitFor(f.state.executeCommand(command, QStringLiteral("again")));
        QCOMPARE(f.access.pasted.last(), QString());
        QCOMPARE(f.state.history().size(), 2);
    }

    void providerChoiceIsReadPerRunAndRunsOverlap()
    {
        Fixture f;
        f.script->answer = QStringLiteral("A");
        f.script->delayMs = 50;
        const Command command = f.state.commands().first();
        auto first = f.state.executeCommand(command, QStringLiteral("one"));
        AppSettings s = f.state.settings();
        s.aiProvider = AIProvider::ollama;
        f.state.setSettings(s);
        auto second = f.state.executeCommand(command, QStringLiteral("two"));
        QVERIFY(f.state.isProcessing());
        QCoro::waitFor(std::move(first));
        QCoro::waitFor(std::move(second));
        QCOMPARE(f.factoryCalls.size(), 2);
        QCOMPARE(f.factoryCalls[0].aiProvider, AIProvider::tovalin);
        QCOMPARE(f.factoryCalls[1].aiProvider, AIProvider::ollama);
        QCOMPARE(f.access.pasted.size(), 2);
        QCOMPARE(f.state.history().size(), 2);
        QVERIFY(!f.state.isProcessing());
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "test_pipeline.moc"
