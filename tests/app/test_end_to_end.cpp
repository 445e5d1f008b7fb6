// As a user would: a real text field of another program, the real binary, the
// hotkey pressed with xdotool, and a fake Ollama server on loopback answering.
#include "command_library.h"
#include "fake_notification_server.h"
#include "json_codec.h"
#include "temp_state_dir.h"
#include "x11_test_client.h"

#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
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

// Keys sent in one burst, as a fast typist's "hotkey, Return" arrives.
void burst(const QStringList& keys)
{
    runTool(QStringLiteral("xdotool"), QStringList{"key", "--delay", "0"} + keys);
}

// One run of the product: a fake Ollama answering as told, Tovalin configured for it
// (directly, or through a tovalin-relay as the built-in provider) and holding its hotkeys.
class Scenario {
public:
    Scenario(const QStringList& ollamaReply, const QList<Command>& commands = defaultCommands(),
             const std::function<void(AppSettings&)>& tweak = {}, bool throughRelay = false)
    {
        m_ollama.start(QStringLiteral(FAKE_OLLAMA_BINARY), QStringList{"--port", "0", "--log", logPath()} + ollamaReply);
        if (!QTest::qWaitFor([&] { return m_ollama.canReadLine(); }, 5000))
            return;
        const auto port = QRegularExpression("listening (\\d+)").match(QString::fromUtf8(m_ollama.readLine()));
        AppSettings settings;
        settings.aiProvider = AIProvider::ollama;
        settings.selectedModel = QStringLiteral("llama3");
        settings.ollamaHost = QStringLiteral("http://127.0.0.1:%1").arg(port.captured(1));
        if (tweak)
            tweak(settings);
        if (throughRelay) {
            m_relay.start(QStringLiteral(RELAY_BINARY), {"--listen", "127.0.0.1:0", "--provider", "ollama",
                                                         "--base-url", settings.ollamaHost, "--model", "llama3"});
            if (!QTest::qWaitFor([&] { return m_relay.canReadLine(); }, 5000))
                return;
            const auto relayPort = QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)").match(QString::fromUtf8(m_relay.readLine()));
            settings.aiProvider = AIProvider::tovalin;
            settings.selectedModel.clear();
            settings.tovalinBaseURL = QStringLiteral("http://127.0.0.1:%1").arg(relayPort.captured(1));
        }
        if (!writeFile(m_tmp.configDir() + "/settings.json", JsonCodec::encodeSettingsDocument(settings))
            || !writeFile(m_tmp.configDir() + "/commands.json", JsonCodec::encodeCommandsDocument(commands)))
            return;

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_tmp.configHome());
        env.insert("XDG_STATE_HOME", m_tmp.stateHome());
        env.insert("XDG_RUNTIME_DIR", m_tmp.root());
        env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
        m_app.setProcessEnvironment(env);
        m_app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // As from the login autostart: no window to take the focus from the test fields.
        m_app.start(QStringLiteral(TOVALIN_BINARY), {QStringLiteral("--background")});
        m_ready = port.hasMatch() && m_notifications.isRegistered() && QTest::qWaitFor(paletteHotkeyTaken, 10000);
    }
    ~Scenario()
    {
        m_app.terminate();
        m_app.waitForFinished(5000);
        for (QProcess* server : {&m_ollama, &m_relay}) {
            server->kill();
            server->waitForFinished();
        }
    }
    bool isReady() const { return m_ready; }
    QString logPath() const { return m_tmp.root() + "/requests.jsonl"; }

    // The user messages the fake server received.
    QStringList sentMessages() const
    {
        QStringList out;
        for (const QByteArray& line : readFile(logPath()).split('\n'))
            if (!line.trimmed().isEmpty())
                out << QJsonDocument::fromJson(line)["messages"][0]["content"].toString();
        return out;
    }
    QList<HistoryItem> history() const
    {
        return JsonCodec::decodeHistoryDocument(readFile(m_tmp.stateDir() + "/history.json")).value_or(QList<HistoryItem>{});
    }
    const QList<FakeNotificationServer::Call>& notifications() const { return m_notifications.calls(); }

    // Connections to the fake Ollama that Tovalin holds open now.
    int ollamaConnections()
    {
        while (m_ollama.canReadLine())
            if (const QByteArray line = m_ollama.readLine(); line.startsWith("connections "))
                m_ollamaConnections = line.mid(12).trimmed().toInt();
        return m_ollamaConnections;
    }

    // The palette as it is on screen; null while it is not shown.
    QImage palette() const
    {
        QProcess search;
        search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(m_app.processId())});
        search.waitForFinished(3000);
        const QList<QByteArray> windows = search.readAllStandardOutput().split('\n');
        if (windows.first().isEmpty())
            return {};
        return QGuiApplication::primaryScreen()->grabWindow(windows.first().toULongLong()).toImage();
    }

    // The palette hotkey and, once it shows, Return.
    void openAndReturn(int waitMs = 400)
    {
        key("super+shift+space");
        QTest::qWait(waitMs);
        key("Return");
    }

    // The palette hotkey, then keys at the palette; true once the run is recorded, a moment
    // after which its answer is pasted.
    bool paletteRun(const QStringList& keys = {"Return"})
    {
        const qsizetype runs = history().size();
        key("super+shift+space");
        QTest::qWait(400);
        for (const QString& k : keys)
            key(k);
        const bool recorded = QTest::qWaitFor([&] { return history().size() == runs + 1; }, 10000);
        QTest::qWait(600); // the paste follows the answer by about 0.15 s
        return recorded;
    }

private:
    TempStateDir m_tmp;
    PrivateSessionBus m_bus;
    FakeNotificationServer m_notifications{m_bus.address()};
    QProcess m_ollama;
    QProcess m_relay;
    QProcess m_app;
    bool m_ready = false;
    int m_ollamaConnections = 0;
};

// How wide the drawing in the palette's answer area is (below its title, above its hint
// line): the busy ring is a few dozen pixels, a line of words hundreds.
int inkWidth(const QImage& palette)
{
    const int top = 6 + 38 + 4, bottom = palette.height() - 6 - 28 - 4;
    const QColor background = palette.pixelColor(3, palette.height() / 2);
    int left = palette.width(), right = -1;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < palette.width(); ++x) {
            const QColor c = palette.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green())
                    + std::abs(c.blue() - background.blue()) > 90) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    return right - left;
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

    // The chosen command's prompt and the selection go out; the answer is recorded and pasted
    // over the selection. The palette owns the keyboard from the hotkey's press on: Escape or
    // Return typed in the same burst as the hotkey act on the palette, not on the field.
    void paletteRoadPastesTheAnswer()
    {
        Scenario run({"--reply", "  The polished sentence.\n"});
        QVERIFY(run.isReady());
        {
            YadEntry field("teh sentence to fix");
            QVERIFY(field.isReady());
            QVERIFY(run.paletteRun({"Down", "Return"}));
            const Command chosen = defaultCommands()[1]; // Down once from the first row
            QCOMPARE(run.sentMessages(), QStringList{chosen.prompt + "\n\nText to process:\nteh sentence to fix"});
            const HistoryItem entry = run.history().first();
            QVERIFY(entry.commandName == chosen.name && entry.success);
            QCOMPARE(entry.originalText, QStringLiteral("teh sentence to fix"));
            QCOMPARE(entry.resultText, QStringLiteral("The polished sentence."));
            QCOMPARE(field.submit(), std::optional<QString>("The polished sentence."));
        }
        {
            YadEntry field("escape at once");
            QVERIFY(field.isReady());
            burst({"super+shift+space", "Escape"});
            QTest::qWait(500);
            QCOMPARE(field.submit(), std::optional<QString>("escape at once")); // the dialog was still open
        }
        QCOMPARE(run.sentMessages().size(), 1);
        YadEntry field("return at once");
        QVERIFY(field.isReady());
        burst({"super+shift+space", "Return"});
        QTRY_COMPARE_WITH_TIMEOUT(run.history().size(), 2, 10000);
        QTest::qWait(600);
        QCOMPARE(run.history().first().commandName, defaultCommands()[0].name);
        QCOMPARE(field.submit(), std::optional<QString>("The polished sentence."));
    }

    // Letters and Tab typed at the palette never reach the field; a typed line is the prompt.
    void typingAtThePaletteIsThePalettes()
    {
        Scenario run({"--reply", "Short."});
        QVERIFY(run.isReady());
        {
            YadEntry field("typed around");
            QVERIFY(field.isReady());
            key("super+shift+space");
            QTest::qWait(300);
            runTool("xdotool", {"type", "xyz"});
            for (const char* k : {"Tab", "Escape", "Escape"}) // the first Escape takes back the line
                key(k);
            QTest::qWait(300);
            QCOMPARE(field.submit(), std::optional<QString>("typed around"));
        }
        QVERIFY(run.sentMessages().isEmpty());
        YadEntry field("A rather long and winding sentence.");
        QVERIFY(field.isReady());
        QVERIFY(run.paletteRun({"s", "h", "o", "r", "t", "e", "r", "Return"}));
        QCOMPARE(run.sentMessages(), QStringList{"shorter\n\nText to process:\nA rather long and winding sentence."});
        QCOMPARE(run.history().first().commandName, QStringLiteral("Custom Instruction"));
        QCOMPARE(field.submit(), std::optional<QString>("Short."));
    }

    // The built-in provider pointed at a team's own relay, whose upstream is the fake Ollama.
    void theBuiltInProviderAnswersThroughATeamRelay()
    {
        Scenario run({"--reply", "The relayed sentence."}, defaultCommands(), {}, true);
        QVERIFY(run.isReady());
        YadEntry field("teh sentence to relay");
        QVERIFY(field.isReady());
        QVERIFY(run.paletteRun());
        QCOMPARE(run.sentMessages(), QStringList{defaultCommands()[0].prompt + "\n\nText to process:\nteh sentence to relay"});
        QCOMPARE(field.submit(), std::optional<QString>("The relayed sentence."));
    }

    // Held down with auto-repeat on, a command hotkey still runs once, without the palette;
    // the next press runs again.
    void aCommandHotkeyRunsOncePerPress()
    {
        QList<Command> commands = defaultCommands();
        commands[6].shortcutKeyCode = 5; // "Translate to English" on Ctrl+Alt+G
        commands[6].shortcutModifiers = 0xC0000;
        Scenario run({"--reply", "Bonjour"}, commands);
        QVERIFY(run.isReady());
        YadEntry field("Hello");
        QVERIFY(field.isReady());
        QVERIFY(runTool("xset", {"r", "rate", "200", "30"}));
        runTool("xdotool", {"keydown", "ctrl+alt+g"});
        QTest::qWait(1500);
        runTool("xdotool", {"keyup", "ctrl+alt+g"});
        QTRY_COMPARE_WITH_TIMEOUT(run.history().size(), 1, 10000);
        QTest::qWait(1000);
        QCOMPARE(run.history().first().commandName, QStringLiteral("Translate to English"));
        QCOMPARE(run.sentMessages(), QStringList{commands[6].prompt + "\n\nText to process:\nHello"});
        key("ctrl+a"); // the paste left nothing selected
        QTest::qWait(100);
        key("ctrl+alt+g");
        QTRY_COMPARE_WITH_TIMEOUT(run.history().size(), 2, 10000);
        runTool("xset", {"r", "rate"});
        QCOMPARE(run.sentMessages().value(1), commands[6].prompt + "\n\nText to process:\nBonjour");
        QTest::qWait(600);
        QCOMPARE(field.submit(), std::optional<QString>("Bonjour"));
    }

    void providerFailurePastesAndRecordsNothing()
    {
        Scenario run({"--status", "404", "--body", "{\"error\":\"model \\\"llama3\\\" not found, try pulling it first\"}"});
        QVERIFY(run.isReady());
        YadEntry field("keep me");
        QVERIFY(field.isReady());
        run.openAndReturn();
        QTRY_COMPARE_WITH_TIMEOUT(run.notifications().size(), 1, 10000);
        QCOMPARE(run.notifications()[0].summary, defaultCommands()[0].name + " failed");
        QVERIFY2(run.notifications()[0].body.contains("model \"llama3\" not found, try pulling it first"),
                 qPrintable(run.notifications()[0].body));
        QTest::qWait(400);
        QCOMPARE(run.sentMessages().size(), 1);
        QVERIFY(run.history().isEmpty());
        QCOMPARE(field.submit(), std::optional<QString>("keep me"));
    }
    // The user moves to another window while the provider thinks: nothing is pasted there,
    // the answer waits on the clipboard, and the user is told.
    void anAnswerNeverLandsInAnotherWindow()
    {
        Scenario run({"--reply", "Late answer", "--delay-ms", "1500"});
        QVERIFY(run.isReady());
        YadEntry first("text to fix");
        QVERIFY(first.isReady());
        run.openAndReturn(300);
        YadEntry second("another window");
        QVERIFY(second.isReady());
        QTRY_COMPARE_WITH_TIMEOUT(run.history().size(), 1, 10000);
        QTRY_COMPARE(run.notifications().size(), 1);
        QCOMPARE(run.notifications()[0].body, QStringLiteral("The window changed; the answer is on the clipboard"));
        QTest::qWait(300);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Late answer"));
        QCOMPARE(second.submit(), std::optional<QString>("another window"));
        QTest::qWait(300); // the first field is active again
        QCOMPARE(first.submit(), std::optional<QString>("text to fix"));
    }

    // An answer holding ESC reaches a shell in a terminal without it, so it cannot end a
    // bracketed paste early and have the rest run as typed commands.
    void controlCharactersNeverReachATerminal()
    {
        Scenario run({"--reply", "echo one\x1b[201~; echo two"});
        QVERIFY(run.isReady());
        QTemporaryDir dir;
        const QString out = dir.filePath("line");
        QProcess term;
        term.start("xterm", {"-xrm", "XTerm*VT100.translations: #override Ctrl Shift <Key>V: insert-selection(CLIPBOARD)",
                             "-geometry", "60x4+0+0", "-e", "sh", "-c", "printf 'select me'; read line; printf %s \"$line\" > \"$0\"", out});
        QVERIFY(QTest::qWaitFor([&] { return X11TestClient().activeWindowPid() == uint32_t(term.processId()); }, 5000));
        QTest::qWait(300);
        // A triple click selects the line: PRIMARY, owned by the terminal.
        runTool("xdotool", {"getactivewindow", "mousemove", "--window", "%1", "20", "8", "click", "--repeat", "3", "1"});
        QTest::qWait(200);
        QVERIFY(run.paletteRun());
        key("Return");
        QTRY_COMPARE_WITH_TIMEOUT(term.state(), QProcess::NotRunning, 5000);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("echo one[201~; echo two"));
    }


    // Auto-close off: the answer waits in the palette; Escape drops it, Ctrl+C copies it, Return
    // replaces the selection with it, and the clipboard (here an image) is given back after.
    void theAnswerIsReviewedAndTheClipboardGivenBack()
    {
        Scenario run({"--reply", "Reviewed answer"}, defaultCommands(), [](AppSettings& s) {
            s.autoCloseOverlay = false;
            s.restoreClipboard = true;
        });
        QVERIFY(run.isReady());
        for (const char* k : {"Escape", "ctrl+c"}) {
            QGuiApplication::clipboard()->setText("before");
            YadEntry field("original words");
            QVERIFY(field.isReady());
            QVERIFY(run.paletteRun());
            key(k);
            QTest::qWait(600);
            QCOMPARE(QGuiApplication::clipboard()->text(), k == QLatin1String("Escape") ? "before" : "Reviewed answer");
            QCOMPARE(field.submit(), std::optional<QString>("original words"));
        }
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QGuiApplication::clipboard()->setImage(picture);
        YadEntry field("replace me");
        QVERIFY(field.isReady());
        QVERIFY(run.paletteRun());
        key("Return");
        QTest::qWait(1500);
        QCOMPARE(QGuiApplication::clipboard()->image().pixelColor(2, 2), QColor(Qt::red));
        QCOMPARE(field.submit(), std::optional<QString>("Reviewed answer"));
    }

    // Auto-close off: the words show in the palette as they arrive, before the answer is
    // complete; Return after the last one replaces the selection with the whole answer.
    void aStreamedAnswerShowsAsItArrives()
    {
        QTemporaryDir dir;
        const QString release = dir.filePath("release");
        Scenario run({"--reply", "Streamed words arrive one by one.", "--delay-ms", "1500",
                      "--stream-gap-ms", "50", "--hold-file", release},
                     defaultCommands(), [](AppSettings& s) { s.autoCloseOverlay = false; });
        QVERIFY(run.isReady());
        YadEntry field("words to replace");
        QVERIFY(field.isReady());
        run.openAndReturn();
        QTest::qWait(500);
        const int waiting = inkWidth(run.palette());
        QVERIFY2(waiting > 0 && waiting < 100, qPrintable(QString::number(waiting)));
        // Every word is out; the last event, saying the answer is complete, is held back.
        QTRY_VERIFY_WITH_TIMEOUT(inkWidth(run.palette()) > 150, 5000);
        QVERIFY(run.history().isEmpty());
        QVERIFY(QFile(release).open(QIODevice::WriteOnly));
        QTRY_COMPARE_WITH_TIMEOUT(run.history().size(), 1, 5000);
        QCOMPARE(run.history().first().resultText, QStringLiteral("Streamed words arrive one by one."));
        key("Return");
        QTest::qWait(800);
        QCOMPARE(field.submit(), std::optional<QString>("Streamed words arrive one by one."));
    }

    // Escape while the answer is on its way: the request is dropped at once (Ollama's
    // deadline is two minutes), nothing is pasted and the run is recorded as cancelled.
    void escapeCancelsARunInFlight()
    {
        Scenario run({"--reply", "Never finished.", "--stream-gap-ms", "50", "--hold-file", "/nonexistent/never"},
                     defaultCommands(), [](AppSettings& s) { s.autoCloseOverlay = false; });
        QVERIFY(run.isReady());
        YadEntry field("keep these words");
        QVERIFY(field.isReady());
        run.openAndReturn();
        QTRY_COMPARE_WITH_TIMEOUT(run.ollamaConnections(), 1, 5000);
        QTest::qWait(500);
        key("Escape");
        QTRY_COMPARE_WITH_TIMEOUT(run.ollamaConnections(), 0, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(run.history().size(), 1, 3000);
        const HistoryItem entry = run.history().first();
        QVERIFY(!entry.success);
        QCOMPARE(entry.errorMessage, std::optional<QString>("Cancelled"));
        QTest::qWait(500);
        QCOMPARE(field.submit(), std::optional<QString>("keep these words"));
    }

    // Two whole lines of a multi-line view, the second line's break included.
    void theReplacementKeepsTheSelectionsLineBreak()
    {
        Scenario run({"--reply", "Fixed first two lines."});
        QVERIFY(run.isReady());
        YadTextView view("First line with teh typo.\nSecond line.\nThird line stays.\n");
        QVERIFY(view.isReady());
        key("ctrl+Home");
        key("shift+Down");
        key("shift+Down");
        QTest::qWait(200);
        QVERIFY(run.paletteRun());
        QCOMPARE(run.sentMessages(), QStringList{defaultCommands()[0].prompt
                     + "\n\nText to process:\nFirst line with teh typo.\nSecond line.\n"});
        const std::optional<QString> text = view.contents();
        QVERIFY(text);
        QVERIFY2(text->startsWith("Fixed first two lines.\nThird line stays."), qPrintable(QString(*text).replace("\n", "\\n")));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
