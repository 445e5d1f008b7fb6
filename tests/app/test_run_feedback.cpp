#include "ai_model_settings_sheet.h"
#include "app_delegate.h"
#include "app_state.h"
#include "fake_http_server.h"
#include "fake_notification_server.h"
#include "fake_services.h"
#include "json_codec.h"
#include "memory_defaults_store.h"
#include "provider_factory.h"

#include <QTest>

class TestRunFeedback : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateSessionBus> bus;

private slots:
    void initTestCase()
    {
        bus = std::make_unique<PrivateSessionBus>();
        QVERIFY2(!bus->address().isEmpty(), "dbus-daemon did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address().toUtf8());
    }

    void aFailureTheSettingsCanMendOffersThem()
    {
        FakeHttpServer ollama([](const RecordedRequest& r) -> ScriptedResponse {
            if (r.body.contains("\"llama9\""))
                return {404, "{\"error\":\"model \\\"llama9\\\" not found, try pulling it first\"}"};
            return {500, R"({"error":"out of memory"})"};
        });
        QVERIFY(ollama.isListening());
        const QString closed = closedLoopbackUrl();
        struct Case {
            const char* name;
            AIProvider provider;
            QString address; // Ollama host or relay
            QString model;
            QString message;
            bool offersSettings;
        };
        const QList<Case> cases{
            {"Ollama not running", AIProvider::ollama, closed, "llama3",
             "Server error: Cannot connect to Ollama. Make sure Ollama is running on " + closed, true},
            {"relay not running", AIProvider::tovalin, closed, "",
             "Cannot reach Tovalin's service at " + closed + ": Connection refused", true},
            {"model missing", AIProvider::ollama, ollama.baseUrl(), "llama9",
             "Server error: model \"llama9\" not found, try pulling it first", true},
            {"key missing", AIProvider::openai, QString(), "gpt-4o", "Invalid API key. Please check your settings.", true},
            {"the server's own trouble", AIProvider::ollama, ollama.baseUrl(), "llama3", "Server error: out of memory",
             false},
        };
        for (const Case& c : cases) {
            FakeNotificationServer server(bus->address());
            QVERIFY(server.isRegistered());
            MemoryDefaultsStore defaults;
            AppSettings settings;
            settings.aiProvider = c.provider;
            settings.selectedModel = c.model;
            settings.ollamaHost = settings.tovalinBaseURL.emplace(c.address);
            defaults.values.insert(AppState::settingsKey, JsonCodec::encodeSettingsDocument(settings));
            RecordingHotkeyRegistry hotkeys;
            FakeSelectionAccess access;
            AppState state({&defaults, &hotkeys, &access,
                            [](const AppSettings& s) { return makeRunService(s, nullptr); }});
            AppDelegate delegate(state, hotkeys, access);
            delegate.applicationDidFinishLaunching();
            QTRY_VERIFY(delegate.runFeedback());

            state.executeCommand(state.commands().first(), QStringLiteral("Some text"));
            QTRY_COMPARE_WITH_TIMEOUT(server.calls().size(), 1, 10000);
            const FakeNotificationServer::Call call = server.calls().first();
            QVERIFY2(call.body == c.message, qPrintable(call.body));
            QCOMPARE(call.actions.contains("Open AI Settings"), c.offersSettings);
            // An unreachable provider brings back the set-up card on Home.
            QCOMPARE(state.offersProviderSetup(), c.address == closed);
            if (!c.offersSettings)
                continue;
            QVERIFY(!delegate.mainWindow());
            server.invokeAction(call.id, call.actions.at(2));
            QTRY_VERIFY(delegate.mainWindow() && delegate.mainWindow()->isVisible());
            QCOMPARE(state.currentTab(), MainTab::settings);
            auto* sheet = delegate.mainWindow()->findChild<AIModelSettingsSheet*>();
            QVERIFY2(sheet && sheet->isVisible(), c.name);
            sheet->close();
        }
    }

    // A command hotkey that finds no text says why, where something stopped the read.
    void noTextSaysWhy()
    {
        for (const QString& problem : {QString(), QStringLiteral("Tovalin's window did not get the focus to read it")}) {
            FakeNotificationServer server(bus->address());
            QVERIFY(server.isRegistered());
            MemoryDefaultsStore defaults;
            RecordingHotkeyRegistry hotkeys;
            FakeSelectionAccess access;
            access.problem = problem;
            AppState state({&defaults, &hotkeys, &access, nullptr});
            AppDelegate delegate(state, hotkeys, access);
            delegate.applicationDidFinishLaunching();
            QTRY_VERIFY(delegate.runFeedback());
            state.runOnSelection(state.commands().first());
            QTRY_COMPARE_WITH_TIMEOUT(server.calls().size(), 1, 5000);
            QCOMPARE(server.calls().first().summary, QString("No text selected"));
            QCOMPARE(server.calls().first().body,
                     problem.isEmpty() ? QString("Select some text first, then press the hotkey again.") : problem);
        }
    }
};

QTEST_MAIN(TestRunFeedback)
#include "test_run_feedback.moc"
