#include "app_state.h"
#include "fake_http_server.h"
#include "fake_services.h"
#include "home_view.h"
#include "memory_defaults_store.h"
#include "provider_factory.h"
#include "provider_setup_card.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {
QString cardText(const ProviderSetupCard* card)
{
    QStringList texts;
    for (const QLabel* label : card->findChildren<QLabel*>())
        texts << label->text();
    return texts.join('\n');
}
} // namespace

class TestProviderSetupCard : public QObject {
    Q_OBJECT

private slots:
    void useSavesTheServerAndARunThenSucceeds()
    {
        // Ollama's and OpenAI's shapes from one server, as either kind would answer.
        FakeHttpServer server([](const RecordedRequest& r) -> ScriptedResponse {
            if (r.path == "/api/tags")
                return {200, R"({"models":[{"name":"qwen2.5:0.5b"},{"name":"llama3.2"}]})"};
            if (r.path == "/v1/models")
                return {200, R"({"data":[{"id":"local-model"}]})"};
            if (r.path == "/api/chat")
                return {200, R"({"message":{"role":"assistant","content":"Fixed by Ollama."}})"};
            if (r.path == "/v1/chat/completions")
                return {200, R"({"choices":[{"message":{"content":"Fixed by the server."}}]})"};
            return {404, "{}"};
        });
        QVERIFY(server.isListening());
        for (const AIProvider kind : {AIProvider::ollama, AIProvider::custom}) {
            MemoryDefaultsStore defaults; // a first start: no settings yet
            RecordingHotkeyRegistry hotkeys;
            FakeSelectionAccess access;
            AppState state({&defaults, &hotkeys, &access, [](const AppSettings& s) { return makeRunService(s, nullptr); }});
            HomeView home(state);
            auto* card = home.findChild<ProviderSetupCard*>();
            QVERIFY(card);
            const bool ollama = kind == AIProvider::ollama;
            card->setTargets({ollama ? server.baseUrl() : QString(), {ollama ? closedLoopbackPort() : server.serverPort()}, {}});
            QSignalSpy refreshed(card, &ProviderSetupCard::refreshed);
            home.show();
            QVERIFY(card->isVisible());
            QVERIFY(refreshed.wait(5000));
            const QString text = cardText(card);
            QVERIFY2(text.contains(ollama ? "No OpenAI-compatible server answers on port" : "Ollama is not running: start it with <code>ollama serve</code>"),
                     qPrintable(text));

            auto* use = card->findChild<QPushButton*>("useFoundProvider");
            QVERIFY(use);
            use->click();
            const AppSettings saved = state.settings();
            QCOMPARE(saved.aiProvider, kind);
            QCOMPARE(saved.selectedModel, QString(ollama ? "qwen2.5:0.5b" : "local-model"));
            QCOMPARE(ollama ? saved.ollamaHost : saved.customBaseURL.value_or(""),
                     ollama ? server.baseUrl() : server.baseUrl() + "/v1");
            QVERIFY(defaults.values.value(AppState::settingsKey).contains(saved.selectedModel.toUtf8()));

            state.executeCommand(state.commands().first(), "Some text");
            QTRY_COMPARE(state.history().size(), 1);
            QCOMPARE(state.history().first().resultText, QString(ollama ? "Fixed by Ollama." : "Fixed by the server."));
            // A provider answered: the card steps aside.
            QVERIFY(!card->isVisible());
        }
    }
};

QTEST_MAIN(TestProviderSetupCard)
#include "test_provider_setup_card.moc"
