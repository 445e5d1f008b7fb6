// As a user would: a real text field of another program, the real binary, the
// hotkey pressed with xdotool, and a fake Ollama server on loopback answering.
#include "command_library.h"
#include "json_codec.h"
#include "temp_state_dir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include "x11_test_client.h"

#include <xcb/xproto.h>

namespace {
// True while some other client holds Super+Shift+Space (key code 65) on the root window.
bool paletteHotkeyTaken()
{
    X11TestClient probe;
    return probe.grabKey(65, XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT) != 0;
}

void key(const QString& keys)
{
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

class FakeOllama {
public:
    FakeOllama(const QString& logPath, const QStringList& replyArgs)
    {
        m_process.start(QStringLiteral(FAKE_OLLAMA_BINARY),
                        QStringList{"--port", "0", "--log", logPath} + replyArgs);
        if (!QTest::qWaitFor([&] { return m_process.canReadLine(); }, 5000))
            return;
        const auto match = QRegularExpression("listening (\\d+)").match(QString::fromUtf8(m_process.readLine()));
        port = match.hasMatch() ? match.captured(1).toInt() : 0;
    }
    ~FakeOllama()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    int port = 0;

private:
    QProcess m_process;
};

class Tovalin {
public:
    Tovalin(const TempStateDir& tmp)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp.configHome());
        env.insert(QStringLiteral("XDG_STATE_HOME"), tmp.stateHome());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.root());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(TOVALIN_BINARY), {});
        m_process.waitForStarted();
    }
    ~Tovalin()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }
    QString output()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }

private:
    QProcess m_process;
    QString m_output;
};

void writeSettings(const TempStateDir& tmp, int ollamaPort)
{
    AppSettings settings;
    settings.aiProvider = AIProvider::ollama;
    settings.selectedModel = QStringLiteral("llama3");
    settings.ollamaHost = QStringLiteral("http://127.0.0.1:%1").arg(ollamaPort);
    QDir().mkpath(tmp.configDir());
    QFile f(tmp.configDir() + QStringLiteral("/settings.json"));
    f.open(QIODevice::WriteOnly);
    f.write(JsonCodec::encodeSettingsDocument(settings));
}

void writeCommands(const TempStateDir& tmp, const QList<Command>& commands)
{
    QDir().mkpath(tmp.configDir());
    QFile f(tmp.configDir() + QStringLiteral("/commands.json"));
    f.open(QIODevice::WriteOnly);
    f.write(JsonCodec::encodeCommandsDocument(commands));
}

QList<QJsonObject> loggedRequests(const QString& path)
{
    QFile f(path);
    QList<QJsonObject> out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            out.append(QJsonDocument::fromJson(line).object());
    return out;
}

QList<HistoryItem> storedHistory(const TempStateDir& tmp)
{
    QFile f(tmp.stateDir() + QStringLiteral("/history.json"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return JsonCodec::decodeHistoryDocument(f.readAll()).value_or(QList<HistoryItem>{});
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "needs an X server (run through scripts/run-tests.sh)");
        QVERIFY2(!paletteHotkeyTaken(), "another program already holds Super+Shift+Space");
    }

    void paletteRoadPastesTheAnswer()
    {
        TempStateDir tmp;
        const QString log = tmp.root() + QStringLiteral("/requests.jsonl");
        FakeOllama server(log, {QStringLiteral("--reply"), QStringLiteral("  The polished sentence.\n")});
        QVERIFY(server.port > 0);
        writeSettings(tmp, server.port);
        Tovalin app(tmp);
        QTRY_VERIFY_WITH_TIMEOUT(paletteHotkeyTaken(), 10000);

        YadEntry field(QStringLiteral("teh sentence to fix"));
        QVERIFY(field.isReady());
        key(QStringLiteral("super+shift+space"));
        QTest::qWait(400);
        key(QStringLiteral("Down"));
        key(QStringLiteral("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(loggedRequests(log).size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(storedHistory(tmp).size(), 1, 5000);
        QTest::qWait(600); // the paste follows the answer by about 0.15 s

        // Down once from the first row: the second default command.
        const Command chosen = defaultCommands()[1];
        const QJsonObject request = loggedRequests(log).first();
        QCOMPARE(request[QStringLiteral("model")].toString(), QStringLiteral("llama3"));
        QCOMPARE(request[QStringLiteral("stream")], QJsonValue(false));
        const QJsonArray messages = request[QStringLiteral("messages")].toArray();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0][QStringLiteral("role")].toString(), QStringLiteral("user"));
        QCOMPARE(messages[0][QStringLiteral("content")].toString(),
                 chosen.prompt + QStringLiteral("\n\nText to process:\nteh sentence to fix"));

        const HistoryItem entry = storedHistory(tmp).first();
        QCOMPARE(entry.commandName, chosen.name);
        QCOMPARE(entry.originalText, QStringLiteral("teh sentence to fix"));
        QCOMPARE(entry.resultText, QStringLiteral("The polished sentence."));
        QVERIFY(entry.success);

        QCOMPARE(field.submit(), std::optional<QString>("The polished sentence."));
    }

    void commandHotkeyRoadPastesWithoutThePalette()
    {
        TempStateDir tmp;
        const QString log = tmp.root() + QStringLiteral("/requests.jsonl");
        FakeOllama server(log, {QStringLiteral("--reply"), QStringLiteral("Bonjour")});
        writeSettings(tmp, server.port);
        QList<Command> commands = defaultCommands();
        commands[6].shortcutKeyCode = 5;          // G
        commands[6].shortcutModifiers = 0xC0000;  // control + option
        commands[6].shortcut = QStringLiteral("⌃⌥G");
        writeCommands(tmp, commands);
        Tovalin app(tmp);
        QTRY_VERIFY_WITH_TIMEOUT(paletteHotkeyTaken(), 10000);

        YadEntry field(QStringLiteral("Hello"));
        QVERIFY(field.isReady());
        key(QStringLiteral("ctrl+alt+g"));
        QTRY_COMPARE_WITH_TIMEOUT(storedHistory(tmp).size(), 1, 10000);
        QTest::qWait(600);
        QCOMPARE(storedHistory(tmp).first().commandName, QStringLiteral("Translate to English"));
        QCOMPARE(loggedRequests(log).first()[QStringLiteral("messages")][0][QStringLiteral("content")].toString(),
                 commands[6].prompt + QStringLiteral("\n\nText to process:\nHello"));
        QCOMPARE(field.submit(), std::optional<QString>("Bonjour"));
    }

    void providerFailurePastesAndRecordsNothing()
    {
        TempStateDir tmp;
        const QString log = tmp.root() + QStringLiteral("/requests.jsonl");
        FakeOllama server(log, {QStringLiteral("--status"), QStringLiteral("404"), QStringLiteral("--body"),
                                QStringLiteral("{\"error\":\"model \\\"llama3\\\" not found, try pulling it first\"}")});
        writeSettings(tmp, server.port);
        Tovalin app(tmp);
        QTRY_VERIFY_WITH_TIMEOUT(paletteHotkeyTaken(), 10000);

        YadEntry field(QStringLiteral("keep me"));
        QVERIFY(field.isReady());
        key(QStringLiteral("super+shift+space"));
        QTest::qWait(400);
        key(QStringLiteral("Return"));
        QTRY_VERIFY_WITH_TIMEOUT(app.output().contains(QStringLiteral("Command execution error: ")), 10000);
        QVERIFY2(app.output().contains(QStringLiteral("serverError(\"model \\\"llama3\\\" not found, try pulling it first\")")),
                 qPrintable(app.output()));
        QTest::qWait(400);
        QCOMPARE(loggedRequests(log).size(), 1);
        QVERIFY(!QFile::exists(tmp.stateDir() + QStringLiteral("/history.json")));
        QCOMPARE(field.submit(), std::optional<QString>("keep me"));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
