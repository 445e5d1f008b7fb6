#include "ollama_service.h"
#include "provider_test_support.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

// The stand-alone fake Ollama that end-to-end runs start, driven through the real client.
class FakeOllamaServerTest : public QObject {
    Q_OBJECT

private slots:
    void answersAndLogs();
    void scriptedFailure();

private:
    // Starts the server and returns its host URL, or an empty string.
    QString start(QProcess& process, const QStringList& arguments);
};

QString FakeOllamaServerTest::start(QProcess& process, const QStringList& arguments)
{
    process.start(QStringLiteral(FAKE_OLLAMA_SERVER), arguments);
    if (!QTest::qWaitFor([&] { return process.canReadLine(); }, 5000))
        return {};
    const QByteArray line = process.readLine().trimmed();
    if (!line.startsWith("listening "))
        return {};
    const int port = line.mid(10).toInt();
    return port > 0 ? QStringLiteral("http://127.0.0.1:%1").arg(port) : QString();
}

void FakeOllamaServerTest::answersAndLogs()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("requests.jsonl");
    QProcess process;
    const QString host = start(process, {"--port", "0", "--reply", "  Bonjour\n", "--log", log});
    QVERIFY(!host.isEmpty());

    OllamaService service(host, "llama3", 5s);
    QCOMPARE(outcomeOf(service, "Translate", "Hello"), QString("answer: Bonjour"));
    QCOMPARE(outcomeOf(service, "Again", "x"), QString("answer: Bonjour"));

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(first.value("model").toString(), QString("llama3"));
    QCOMPARE(first.value("stream").toBool(true), false);
    QCOMPARE(first.value("messages")[0]["content"].toString(),
             QString("Translate\n\nText to process:\nHello"));
    process.kill();
    process.waitForFinished(2000);
}

void FakeOllamaServerTest::scriptedFailure()
{
    QProcess process;
    const QString host = start(process, {"--status", "404", "--body",
                                         R"({"error":"model \"llama3\" not found, try pulling it first"})"});
    QVERIFY(!host.isEmpty());
    OllamaService service(host, "llama3", 5s);
    QCOMPARE(outcomeOf(service, "p", "t"),
             serverError("model \"llama3\" not found, try pulling it first"));
    process.kill();
    process.waitForFinished(2000);
}

QTEST_GUILESS_MAIN(FakeOllamaServerTest)
#include "test_fake_ollama_server.moc"
