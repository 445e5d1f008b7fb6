#include "claude_service.h"
#include "deepseek_service.h"
#include "gemini_service.h"
#include "ollama_service.h"
#include "openai_service.h"
#include "provider_factory.h"
#include "tovalin_api_service.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QTest>

using namespace std::chrono_literals;

class ProviderFactoryTest : public QObject {
    Q_OBJECT

private slots:
    void buildsTheConfiguredClient();
};

namespace {

AppSettings settingsWithEveryKey()
{
    AppSettings s;
    s.selectedModel = "chosen-model";
    s.openaiApiKey = "sk-openai";
    s.claudeApiKey = "sk-ant";
    s.deepseekApiKey = "sk-deepseek";
    s.geminiApiKey = "AIza-gemini";
    s.ollamaHost = "http://10.1.2.3:11434/";
    // Only selectedModel counts; these per-provider leftovers must be ignored.
    s.claudeModel = "stale-claude-model";
    s.openaiModel = "stale-openai-model";
    return s;
}

template <typename T>
const T* build(AIProvider provider, std::unique_ptr<AIService>& keep)
{
    AppSettings s = settingsWithEveryKey();
    s.aiProvider = provider;
    keep = makeAIService(s);
    return dynamic_cast<const T*>(keep.get());
}

} // namespace

void ProviderFactoryTest::buildsTheConfiguredClient()
{
    std::unique_ptr<AIService> keep;

    auto* relay = build<TovalinAPIService>(AIProvider::tovalin, keep);
    QVERIFY(relay);
    QCOMPARE(relay->baseURL(), QString(TOVALIN_RELAY_URL));
    QCOMPARE(relay->model(), QString("chosen-model"));
    QCOMPARE(relay->timeout(), 60s);

    auto* openai = build<OpenAIService>(AIProvider::openai, keep);
    QVERIFY(openai);
    QCOMPARE(openai->apiKey(), QString("sk-openai"));
    QCOMPARE(openai->model(), QString("chosen-model"));
    QCOMPARE(openai->baseURL(), QString("https://api.openai.com/v1/chat/completions"));
    QCOMPARE(openai->timeout(), 60s);

    auto* deepseek = build<DeepSeekService>(AIProvider::deepseek, keep);
    QVERIFY(deepseek);
    QCOMPARE(deepseek->apiKey(), QString("sk-deepseek"));
    QCOMPARE(deepseek->model(), QString("chosen-model"));
    QCOMPARE(deepseek->baseURL(), QString("https://api.deepseek.com/chat/completions"));

    auto* claude = build<ClaudeService>(AIProvider::claude, keep);
    QVERIFY(claude);
    QCOMPARE(claude->apiKey(), QString("sk-ant"));
    QCOMPARE(claude->model(), QString("chosen-model"));
    QCOMPARE(claude->baseURL(), QString("https://api.anthropic.com/v1/messages"));

    auto* gemini = build<GeminiService>(AIProvider::gemini, keep);
    QVERIFY(gemini);
    QCOMPARE(gemini->apiKey(), QString("AIza-gemini"));
    QCOMPARE(gemini->model(), QString("chosen-model"));
    QCOMPARE(gemini->baseURL(), QString("https://generativelanguage.googleapis.com/v1beta/models"));

    auto* ollama = build<OllamaService>(AIProvider::ollama, keep);
    QVERIFY(ollama);
    QCOMPARE(ollama->host(), QString("http://10.1.2.3:11434/"));
    QCOMPARE(ollama->model(), QString("chosen-model"));
    QCOMPARE(ollama->timeout(), 120s);

    // An empty key is the client's business when it runs, not the factory's.
    AppSettings noKey;
    noKey.aiProvider = AIProvider::claude;
    keep = makeAIService(noKey);
    QVERIFY(dynamic_cast<const ClaudeService*>(keep.get()));

    // Building clients must not start the network stack.
    QVERIFY(QCoreApplication::instance()->findChildren<QNetworkAccessManager*>().isEmpty());
}

QTEST_GUILESS_MAIN(ProviderFactoryTest)
#include "test_provider_factory.moc"
