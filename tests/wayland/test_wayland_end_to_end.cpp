// As a user of sway would: a headless sway, native Wayland programs of the test's own (a Qt
// text field, foot), the real binary reached through the compositor's binding command
// (`tovalin --palette`), keys typed with wtype, and a fake Ollama server on loopback.
#include "command_library.h"
#include "json_codec.h"
#include "text_field_process.h"
#include "headless_sway.h"
#include "temp_state_dir.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <optional>
#include <unistd.h>

namespace {
HeadlessSway* sway = nullptr;

// A client program on the compositor, with the test's runtime folder.
bool runClient(const QProcessEnvironment& env, const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The text field of the test's own; length characters from start selected with the keys,
// as a user selects.
class TextField {
public:
    TextField(const QProcessEnvironment& env, const QString& text, int start = 0, int length = 0)
    {
        m_focused = m_field.start(QStringLiteral(TEXT_FIELD_BINARY), env, text);
        QStringList keys{"-k", "Home"};
        for (int i = 0; i < start; ++i)
            keys << "-k" << "Right";
        keys << "-M" << "shift";
        for (int i = 0; i < length; ++i)
            keys << "-k" << "Right";
        keys << "-m" << "shift";
        m_focused = m_focused && (length == 0 || runClient(env, "wtype", keys));
    }
    bool isFocused() const { return m_focused; }
    QString text() { return m_field.text(); }

private:
    TextFieldProcess m_field;
    bool m_focused = false;
};

// Tovalin on the compositor, configured for a fake Ollama answering as told.
class Scenario {
public:
    // variables: more of Tovalin's environment, NAME=VALUE.
    explicit Scenario(const QString& reply, int delayMs = 0, const QStringList& variables = {})
    {
        m_ollama.start(QStringLiteral(FAKE_OLLAMA_BINARY), {"--port", "0", "--log", logPath(), "--reply", reply,
                                                           "--delay-ms", QString::number(delayMs)});
        if (!QTest::qWaitFor([&] { return m_ollama.canReadLine(); }, 5000))
            return;
        const auto port = QRegularExpression("listening (\\d+)").match(QString::fromUtf8(m_ollama.readLine()));
        AppSettings settings;
        settings.aiProvider = AIProvider::ollama;
        settings.selectedModel = QStringLiteral("llama3");
        settings.ollamaHost = QStringLiteral("http://127.0.0.1:%1").arg(port.captured(1));
        if (!writeFile(m_tmp.configDir() + "/settings.json", JsonCodec::encodeSettingsDocument(settings))
            || !writeFile(m_tmp.configDir() + "/commands.json", JsonCodec::encodeCommandsDocument(defaultCommands())))
            return;
        m_env = sway->environment(m_tmp.root());
        m_env.insert("XDG_CONFIG_HOME", m_tmp.configHome());
        m_env.insert("XDG_STATE_HOME", m_tmp.stateHome());
        for (const QString& variable : variables)
            m_env.insert(variable.section('=', 0, 0), variable.section('=', 1));
        m_app.setProcessEnvironment(m_env);
        m_app.start(QStringLiteral(TOVALIN_BINARY), {QStringLiteral("--background")});
        m_ready = port.hasMatch() && QTest::qWaitFor([&] { return output().contains("native Wayland backend"); }, 10000);
    }
    ~Scenario()
    {
        m_app.terminate();
        m_app.waitForFinished(5000);
        m_ollama.kill();
        m_ollama.waitForFinished();
    }
    bool isReady() const { return m_ready; }
    const QProcessEnvironment& environment() const { return m_env; }
    QString logPath() const { return m_tmp.root() + "/requests.jsonl"; }
    QByteArray requests() const { return readFile(logPath()); }
    QByteArray output()
    {
        m_output += m_app.readAllStandardOutput();
        return m_output;
    }

    // As the compositor's binding does; true once the palette has the focus.
    bool openPalette()
    {
        return runClient(m_env, QStringLiteral(TOVALIN_BINARY), {"--palette"})
            && QTest::qWaitFor([] { return sway->focused("tovalin-palette"); }, 5000);
    }
    bool type(const QStringList& arguments) { return runClient(m_env, "wtype", arguments); }

private:
    TempStateDir m_tmp;
    QProcess m_ollama;
    QProcess m_app;
    QProcessEnvironment m_env;
    QByteArray m_output;
    bool m_ready = false;
};
} // namespace

class TestWaylandEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        sway = new HeadlessSway;
        if (!sway->isRunning())
            QSKIP(qPrintable("sway cannot start here (headless, pixman): " + sway->log()));
    }
    void cleanupTestCase() { delete sway; }

    // The palette opens over the field, Return runs the first command, or the typed words
    // run as the instruction; the answer replaces the selection, its edges kept. With
    // data-control left unused, the palette reads the selection once it has the focus.
    void paletteAnswerReplacesTheSelection_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("sentInstruction");
        QTest::addColumn<QString>("selectionRoad"); // TOVALIN_WAYLAND_SELECTION
        QTest::newRow("first command") << QStringList{"-k", "Return"} << "grammar" << "";
        QTest::newRow("typed instruction") << QStringList{"make it rhyme", "-k", "Return"} << "make it rhyme" << "";
        QTest::newRow("read once the palette has the focus") << QStringList{"-k", "Return"} << "grammar" << "focus";
    }
    void paletteAnswerReplacesTheSelection()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, sentInstruction);
        QFETCH(QString, selectionRoad);
        Scenario scenario("The cat sat.", 0,
                          selectionRoad.isEmpty() ? QStringList() : QStringList{"TOVALIN_WAYLAND_SELECTION=" + selectionRoad});
        QVERIFY(scenario.isReady());
        QCOMPARE(scenario.output().contains("TOVALIN_WAYLAND_SELECTION=focus"), !selectionRoad.isEmpty());
        TextField field(scenario.environment(), "Say: teh cat sat. Bye", 4, 14); // " teh cat sat. "
        QVERIFY(field.isFocused());
        QVERIFY(scenario.openPalette());
        QCOMPARE(sway->window("tovalin-palette")["type"].toString(), QString("floating_con"));
        QVERIFY(scenario.type(typed));
        QTRY_COMPARE_WITH_TIMEOUT(field.text(), QString("Say: The cat sat. Bye"), 10000);
        QVERIFY(scenario.requests().contains("teh cat sat."));
        QVERIFY(scenario.requests().contains(sentInstruction.toUtf8()));
    }

    // The user turned to another window while the provider worked: nothing is pasted
    // there, the field keeps its text and the answer waits on the clipboard.
    void answerAfterTheFocusMovedIsNotPasted()
    {
        Scenario scenario("The cat sat.", 1500);
        QVERIFY(scenario.isReady());
        TextField field(scenario.environment(), "Say: teh cat sat. Bye", 4, 14);
        QVERIFY(field.isFocused());
        QVERIFY(scenario.openPalette());
        QVERIFY(scenario.type({"-k", "Return"}));
        TextField other(scenario.environment(), "elsewhere");
        QVERIFY(other.isFocused());
        QTRY_VERIFY_WITH_TIMEOUT(scenario.output().contains("The window changed; the answer is on the clipboard"), 10000);
        QTest::qWait(500);
        QCOMPARE(other.text(), QString());
        QCOMPARE(field.text(), QString());
        QProcess paste;
        paste.setProcessEnvironment(scenario.environment());
        paste.start("wl-paste", {"--no-newline"});
        QVERIFY(paste.waitForFinished(5000));
        QCOMPARE(paste.readAllStandardOutput(), QByteArray(" The cat sat. ")); // with the edges it would have been pasted with
    }

    // A command's binding reads the selection of the window the user is in; text left
    // selected in another window is stale and is not sent, as on X11. With data-control left
    // unused, a small window of Tovalin's takes the focus for a moment to read it.
    void selectionInAnotherWindowIsStale_data()
    {
        QTest::addColumn<bool>("turnedAway");
        QTest::addColumn<QString>("selectionRoad");
        QTest::newRow("selected in the active window") << false << "";
        QTest::newRow("selected in another window") << true << "";
        QTest::newRow("read by a window of its own") << false << "focus";
    }
    void selectionInAnotherWindowIsStale()
    {
        QFETCH(bool, turnedAway);
        QFETCH(QString, selectionRoad);
        Scenario scenario("The cat sat.", 0,
                          selectionRoad.isEmpty() ? QStringList() : QStringList{"TOVALIN_WAYLAND_SELECTION=" + selectionRoad});
        QVERIFY(scenario.isReady());
        TextField field(scenario.environment(), "Say: teh cat sat. Bye", 4, 14);
        QVERIFY(field.isFocused());
        std::optional<TextField> other;
        if (turnedAway) {
            other.emplace(scenario.environment(), "elsewhere"); // focused, nothing selected
            QVERIFY(other->isFocused());
        }
        QVERIFY(runClient(scenario.environment(), QStringLiteral(TOVALIN_BINARY), {"--run", "Fix Grammar & Spelling"}));
        if (!turnedAway) {
            QTRY_COMPARE_WITH_TIMEOUT(field.text(), QString("Say: The cat sat. Bye"), 10000);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(scenario.output().contains("No text selected for command hotkey"), 10000);
        QCOMPARE(scenario.requests(), QByteArray());
        QCOMPARE(field.text(), QString());
        QCOMPARE(other->text(), QString());
    }

    // foot takes Ctrl+Shift+V: a Ctrl+V there would reach the program as a control key.
    void terminalGetsTheTerminalChord()
    {
        Scenario scenario("The cat sat.");
        QVERIFY(scenario.isReady());
        const QString typed = QFileInfo(scenario.logPath()).absolutePath() + "/typed.txt";
        QProcess foot;
        foot.setProcessEnvironment(scenario.environment());
        foot.start("foot", {"sh", "-c", "cat > " + typed});
        QVERIFY(QTest::qWaitFor([] { return sway->focused("foot"); }, 10000));
        // Selected while foot is the active window, as a selection made there would be.
        QVERIFY(runClient(scenario.environment(), "sh", {"-c", "printf 'teh cat sat.' | wl-copy --primary"}));
        QVERIFY(scenario.openPalette());
        QVERIFY(scenario.type({"-k", "Return"}));
        QTRY_VERIFY_WITH_TIMEOUT(!scenario.requests().isEmpty(), 10000);
        QTest::qWait(800); // the paste follows the answer by about 0.15 s
        QVERIFY(scenario.type({"-k", "Return"})); // ends the line, so cat writes it
        QTRY_COMPARE_WITH_TIMEOUT(readFile(typed), QByteArray("The cat sat.\n"), 5000);
        foot.kill();
        foot.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestWaylandEndToEnd)
#include "test_wayland_end_to_end.moc"
