#include "ai_model_settings_sheet.h"
#include "fake_http_server.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextLayout>
#include <memory>

namespace {
struct Sheet {
    WindowFixture f;
    std::unique_ptr<AIModelSettingsSheet> sheet = std::make_unique<AIModelSettingsSheet>(*f.state);
    explicit Sheet(const AppSettings& stored) : f(std::nullopt, {{AppState::settingsKey, JsonCodec::encodeSettingsDocument(stored)}})
    {
        sheet->show();
    }
    template <typename T>
    T* get(const char* name) const { return sheet->findChild<T*>(name); }
    void pick(AIProvider p) const { get<QComboBox>("providerPicker")->setCurrentIndex(int(p)); }
    QString key() const { return get<QLineEdit>("apiKeyField")->text(); }
    QString model() const { return get<QComboBox>("modelPicker")->currentText(); }
    QStringList suggestions() const
    {
        QStringList items;
        auto* box = get<QComboBox>("modelPicker");
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }
    bool canTest() const { return get<QPushButton>("testConnectionButton")->isEnabled(); }
    bool canSave() const { return get<QPushButton>("saveButton")->isEnabled(); }
};

AppSettings keyedSettings()
{
    AppSettings s;
    s.aiProvider = AIProvider::openai;
    s.selectedModel = "gpt-4-turbo";
    s.openaiApiKey = "sk-saved";
    s.claudeApiKey = "cl-saved";
    return s;
}

AppSettings ollamaAt(const QString& host)
{
    AppSettings s;
    s.aiProvider = AIProvider::ollama;
    s.selectedModel = "llama3";
    s.ollamaHost = host;
    return s;
}
} // namespace

class TestAIModelSettingsSheet : public QObject {
    Q_OBJECT
private slots:
    // Switching provider reloads that provider's saved key; Save keeps the sheet open, Done
    // closes it and drops what was not saved.
    void providerSwitchSaveAndDone()
    {
        Sheet s(keyedSettings());
        QCOMPARE(s.key(), QString("sk-saved"));
        QCOMPARE(s.model(), QString("gpt-4-turbo")); // the stored model, not the list's first
        QVERIFY(!s.sheet->hasChanges() && !s.canSave());

        s.get<QLineEdit>("apiKeyField")->setText("typed, not saved");
        s.pick(AIProvider::claude);
        QCOMPARE(s.key(), QString("cl-saved"));
        QCOMPARE(s.model(), QString("claude-sonnet-4-20250514"));
        s.pick(AIProvider::openai);
        QCOMPARE(s.key(), QString("sk-saved"));
        QCOMPARE(s.model(), QString("gpt-4o"));
        QVERIFY(s.canSave());

        s.get<QComboBox>("modelPicker")->lineEdit()->setText("gpt-5-mini");
        s.get<QLineEdit>("apiKeyField")->setText("sk-new");
        QTest::mouseClick(s.get<QPushButton>("saveButton"), Qt::LeftButton);
        QCOMPARE(s.f.storedSettings()->selectedModel, QString("gpt-5-mini"));
        QCOMPARE(s.f.storedSettings()->openaiApiKey, QString("sk-new"));
        QCOMPARE(s.f.storedSettings()->claudeApiKey, QString("cl-saved"));
        QVERIFY(!s.canSave() && s.sheet->isVisible());

        s.pick(AIProvider::tovalin); // no model section, and an empty model
        QVERIFY(!s.get<QComboBox>("modelPicker")->isVisible() && !s.get<QLineEdit>("apiKeyField")->isVisible());
        QTest::mouseClick(s.get<QPushButton>("saveButton"), Qt::LeftButton);
        QCOMPARE(s.f.storedSettings()->aiProvider, AIProvider::tovalin);
        QCOMPARE(s.f.storedSettings()->selectedModel, QString());

        s.pick(AIProvider::gemini);
        QTest::mouseClick(s.get<QPushButton>("doneButton"), Qt::LeftButton);
        QVERIFY(!s.sheet->isVisible());
        QCOMPARE(s.f.state->settings().aiProvider, AIProvider::tovalin);
    }

    // A keyed provider can be tested only with a key; every form fits without scrolling.
    void testButtonAndFormOfEachProvider()
    {
        Sheet s(ollamaAt(closedLoopbackUrl()));
        QScrollBar* bar = s.sheet->findChild<QScrollArea*>()->verticalScrollBar();
        for (AIProvider p : allAIProviders) {
            s.pick(p);
            QTRY_VERIFY2(bar->maximum() == 0 && !bar->isVisible(), qPrintable(displayName(p)));
            s.get<QLineEdit>("apiKeyField")->setText("");
            const bool keyed = p != AIProvider::ollama && p != AIProvider::tovalin && p != AIProvider::custom;
            QVERIFY2(s.canTest() == !keyed, qPrintable(displayName(p)));
            s.get<QLineEdit>("apiKeyField")->setText("g");
            QVERIFY(s.canTest());
        }
    }

    void connectionTestShowsSuccessOrTheError()
    {
        const struct { int status; QByteArray body; QString shown; } cases[] = {
            {200, R"({"message":{"role":"assistant","content":"OK"}})", "Connection successful!"},
            {404, "{\"error\":\"model 'gpt-5-mini' not found, try pulling it first\"}",
             "Server error: model 'gpt-5-mini' not found, try pulling it first"}};
        for (const auto& [status, body, shown] : cases) {
            FakeHttpServer server([status = status, body = body](const RecordedRequest& r) {
                return r.path == "/api/tags" ? ScriptedResponse{200, R"({"models":[]})"} : ScriptedResponse{status, body};
            });
            const QString storedHost = closedLoopbackUrl();
            Sheet s(ollamaAt(storedHost));
            // The test uses what the sheet shows, unsaved.
            s.get<QLineEdit>("ollamaHostField")->setText(server.baseUrl());
            s.get<QComboBox>("modelPicker")->lineEdit()->setText("gpt-5-mini");
            QTest::mouseClick(s.get<QPushButton>("testConnectionButton"), Qt::LeftButton);
            QVERIFY(s.sheet->isTestingConnection() && !s.canTest());
            QTRY_VERIFY(!s.sheet->isTestingConnection());
            QVERIFY(s.canTest());
            QCOMPARE(s.get<QLabel>("testResultLabel")->text(), shown);
            QCOMPARE(s.sheet->testResult()->success, status == 200);
            const RecordedRequest chat = server.requests.last();
            QCOMPARE(chat.path, QByteArray("/api/chat"));
            QVERIFY(chat.body.contains(R"("model":"gpt-5-mini")") && chat.body.contains("Say 'OK' if you receive this."));
            QCOMPARE(s.f.storedSettings()->ollamaHost, storedHost); // nothing saved

            s.pick(AIProvider::claude); // the result spoke of the other provider
            QVERIFY(s.get<QLabel>("testResultLabel")->text().isEmpty() && !s.sheet->testResult());
        }
    }

    void addressesAreNeverCutByWrapping()
    {
        const QString message = "Cannot connect to http://localhost:8080/v1/chat/completions. Is it running?";
        const QString shown = AIModelSettingsSheet::keepAddressesWhole(message);
        QCOMPARE(QString(shown).remove(QChar(0x2060)), message);
        const qsizetype start = shown.indexOf("http"), end = shown.indexOf(' ', start);
        for (int width = 40; width <= 420; width += 6) { // the label wraps at words, as QTextOption does
            QTextLayout layout(shown, QLabel().font());
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                QVERIFY2(line.textStart() <= start || line.textStart() >= end, qPrintable(QString::number(width)));
            }
            layout.endLayout();
        }
    }

    // The OpenAI-compatible server: its address, an optional key, its own model list; and
    // the built-in provider's relay address.
    void customServerAndRelayAddressAreSaved()
    {
        FakeHttpServer server([](const RecordedRequest& r) {
            return r.path == "/v1/models" ? ScriptedResponse{200, R"({"data":[{"id":"qwen2.5-7b"},{"id":"phi-4"}]})"}
                                          : ScriptedResponse{404, "{}"};
        });
        Sheet s(keyedSettings());
        s.pick(AIProvider::custom);
        QVERIFY(s.canTest()); // no key needed
        auto* base = s.get<QLineEdit>("baseURLField");
        base->setText(server.baseUrl() + "/v1");
        emit base->editingFinished();
        QTRY_COMPARE(s.suggestions(), (QStringList{"qwen2.5-7b", "phi-4"}));
        QCOMPARE(s.model(), QString("qwen2.5-7b"));
        QTest::mouseClick(s.get<QPushButton>("saveButton"), Qt::LeftButton);
        const AppSettings custom = *s.f.storedSettings();
        QVERIFY(custom.aiProvider == AIProvider::custom && custom.selectedModel == "qwen2.5-7b");
        QCOMPARE(custom.customBaseURL, std::optional<QString>(server.baseUrl() + "/v1"));
        QCOMPARE(custom.openaiApiKey, QString("sk-saved")); // other providers' keys stay

        s.pick(AIProvider::tovalin);
        s.get<QLineEdit>("relayAddressField")->setText("https://relay.example.org");
        QTest::mouseClick(s.get<QPushButton>("saveButton"), Qt::LeftButton);
        QCOMPARE(s.f.storedSettings()->tovalinBaseURL, std::optional<QString>("https://relay.example.org"));
    }
};

QTEST_MAIN(TestAIModelSettingsSheet)
#include "test_ai_model_settings_sheet.moc"
