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
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {
constexpr int kSpaceKeysym = 0x20;

bool runTool(const QStringList& args, int timeoutMs = 10000, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(args.first(), args.mid(1));
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// True while some other client holds Super+Shift+Space on the root window.
bool paletteHotkeyTaken()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_key_symbols_t* syms = xcb_key_symbols_alloc(c);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(syms, kSpaceKeysym);
    const xcb_keycode_t code = codes ? codes[0] : 65;
    free(codes);
    xcb_key_symbols_free(syms);
    const uint16_t mods = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;
    xcb_generic_error_t* err = xcb_request_check(
        c, xcb_grab_key_checked(c, 1, root, mods, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const bool taken = err != nullptr;
    free(err);
    if (!taken)
        xcb_ungrab_key(c, code, root, mods);
    xcb_flush(c);
    xcb_disconnect(c);
    return taken;
}

class FakeOllama {
public:
    FakeOllama(const QString& logPath, const QStringList& replyArgs)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(FAKE_OLLAMA_BINARY),
                        QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--log"), logPath} + replyArgs);
        m_process.waitForStarted();
        QByteArray line;
        for (int i = 0; i < 100 && !line.contains('\n'); ++i) {
            m_process.waitForReadyRead(100);
            line += m_process.readAllStandardOutput();
        }
        const auto match = QRegularExpression(QStringLiteral("listening (\\d+)")).match(QString::fromUtf8(line));
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

// A GTK entry of another process; its text is selected when it takes the focus.
class TextField {
public:
    explicit TextField(const QString& text)
    {
        m_title = QStringLiteral("tovalin-e2e-%1").arg(++s_counter);
        m_process.start(QStringLiteral("yad"), {QStringLiteral("--entry"), QStringLiteral("--title"), m_title,
                                                QStringLiteral("--entry-text"), text});
        m_process.waitForStarted();
        QByteArray out;
        for (int i = 0; i < 50 && m_window.isEmpty(); ++i) {
            if (runTool({QStringLiteral("xdotool"), QStringLiteral("search"), QStringLiteral("--name"), m_title}, 2000, &out))
                m_window = QString::fromLatin1(out.split('\n').first().trimmed());
            else
                QTest::qWait(100);
        }
        if (!m_window.isEmpty())
            runTool({QStringLiteral("xdotool"), QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_window});
        QTest::qWait(300);
    }
    ~TextField()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool isReady() const { return !m_window.isEmpty(); }

    // Return makes yad print the field and leave.
    QString submit()
    {
        runTool({QStringLiteral("xdotool"), QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_window});
        runTool({QStringLiteral("xdotool"), QStringLiteral("key"), QStringLiteral("Return")});
        if (!m_process.waitForFinished(5000))
            return QStringLiteral("<yad did not finish>");
        return QString::fromUtf8(m_process.readAllStandardOutput()).trimmed();
    }

private:
    static inline int s_counter = 0;
    QProcess m_process;
    QString m_title;
    QString m_window;
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

void key(const QString& keys)
{
    runTool({QStringLiteral("xdotool"), QStringLiteral("key"), keys});
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

        TextField field(QStringLiteral("teh sentence to fix"));
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

        QCOMPARE(field.submit(), QStringLiteral("The polished sentence."));
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

        TextField field(QStringLiteral("Hello"));
        QVERIFY(field.isReady());
        key(QStringLiteral("ctrl+alt+g"));
        QTRY_COMPARE_WITH_TIMEOUT(storedHistory(tmp).size(), 1, 10000);
        QTest::qWait(600);
        QCOMPARE(storedHistory(tmp).first().commandName, QStringLiteral("Translate to English"));
        QCOMPARE(loggedRequests(log).first()[QStringLiteral("messages")][0][QStringLiteral("content")].toString(),
                 commands[6].prompt + QStringLiteral("\n\nText to process:\nHello"));
        QCOMPARE(field.submit(), QStringLiteral("Bonjour"));
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

        TextField field(QStringLiteral("keep me"));
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
        QCOMPARE(field.submit(), QStringLiteral("keep me"));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
