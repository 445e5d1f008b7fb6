// As a GNOME user meets it: a headless mutter with the real portals, Tovalin's
// PortalKeyboard asking through the RemoteDesktop portal, the desktop's consent dialog
// answered with the compositor's own keyboard (and its Share button's accessible action,
// which no key reaches there), and a native Wayland text field of the test's own that gets
// the answer pasted over its selection; then the real binary doing the same from its palette,
// with a fake Ollama server on loopback.
#include "command_library.h"
#include "text_field_process.h"
#include "headless_gnome.h"
#include "json_codec.h"
#include "portal/portal_keyboard.h"

#include <QRegularExpression>
#include <QCoro/QCoroTask>

namespace {
HeadlessGnome* gnome = nullptr;

constexpr uint tabKey = 0xff09, spaceKey = 0x20, escapeKey = 0xff1b;
constexpr uint homeKey = 0xff50, endKey = 0xff57, rightKey = 0xff53, shiftKey = 0xffe1, insertKey = 0xff63;
constexpr uint returnKey = 0xff0d;
const QString portalProgram = QStringLiteral("xdg-desktop-portal-gnome");

// Answers the desktop's dialog as a user would: Tab and Space turn on "Allow remote
// interaction", then Share; or Escape.
bool answerDialog(bool allow)
{
    if (!QTest::qWaitFor([] { return gnome->windowActive(portalProgram, "Remote desktop"); }, 10000))
        return false;
    // Share turns clickable once the dialog has had the keys.
    return allow ? gnome->press({tabKey}) && gnome->press({spaceKey})
            && QTest::qWaitFor([] { return gnome->clickButton(portalProgram, "Share"); }, 5000)
                 : gnome->press({escapeKey});
}

// Starts the keyboard and answers the dialog; true once the keyboard has its answer.
bool answerDialog(PortalKeyboard& keyboard, bool allow)
{
    auto answered = std::make_shared<bool>(false);
    auto waiting = keyboard.start().then([answered](bool) { *answered = true; });
    return answerDialog(allow) && QTest::qWaitFor([answered] { return *answered; }, 10000);
}

// The text field of the test's own, with the keys of a user selecting in it.
class TextField {
public:
    TextField(const QString& text, const QList<QList<uint>>& selectingKeys)
    {
        m_focused = m_field.start(QStringLiteral(TEXT_FIELD_BINARY), gnome->environment(), text);
        for (const QList<uint>& keys : selectingKeys)
            m_focused = m_focused && gnome->press(keys);
    }
    bool isFocused() const { return m_focused; }
    bool hasSelected(const QString& text) { return m_field.hasSelected(text); }
    qsizetype timesLeft() { return m_field.count("left\n"); }
    QString text() { return m_field.text(); }

private:
    TextFieldProcess m_field;
    bool m_focused = false;
};
} // namespace

class TestGnomeEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        gnome = new HeadlessGnome;
        if (!gnome->problem().isEmpty())
            QSKIP(qPrintable("mutter cannot start here (headless): " + gnome->problem()));
        QVERIFY2(gnome->failure().isEmpty(), qPrintable(gnome->failure() + "\n" + gnome->log()));
    }
    void cleanupTestCase() { delete gnome; }

    // The desktop asks once; then the answer on the clipboard is pasted over the field's
    // selection with Shift+Insert typed through the portal.
    void answerIsPastedThroughThePortal()
    {
        TempStateDir state;
        const QString tokenFile = state.stateDir() + "/remote-desktop-token";
        PortalKeyboard keyboard(gnome->bus(), tokenFile);
        QVERIFY(answerDialog(keyboard, true));
        QCOMPARE(keyboard.state(), PortalKeyboard::State::granted);

        // wl-copy returns once the selection is taken, and serves it until mutter ends.
        QProcess copy;
        copy.setProcessEnvironment(gnome->environment());
        copy.start("wl-copy", {"The cat sat."});
        QVERIFY(copy.waitForFinished(10000) && copy.exitCode() == 0);
        TextField field("Say: teh cat sat.", {{homeKey}, {rightKey}, {rightKey}, {rightKey}, {rightKey}, {rightKey},
                                              {shiftKey, endKey}});
        QVERIFY(field.isFocused() && field.hasSelected("teh cat sat."));
        QVERIFY(QCoro::waitFor(keyboard.chord({int(shiftKey)}, int(insertKey))));
        QTRY_COMPARE_WITH_TIMEOUT(field.text(), QString("Say: The cat sat."), 10000);

        // RemoteDesktop version 1 (xdg-desktop-portal 1.16, Debian 12) has no restore tokens:
        // nothing is kept, and the next start asks again.
        const bool persists = gnome->portalVersion("org.freedesktop.portal.RemoteDesktop") >= 2;
        QCOMPARE(QFileInfo::exists(tokenFile), persists);
        PortalKeyboard again(gnome->bus(), tokenFile);
        if (persists) {
            QCOMPARE(fileMode(tokenFile), 0600);
            QCOMPARE(again.state(), PortalKeyboard::State::remembered);
            QVERIFY(QCoro::waitFor(again.start()));
        } else {
            QCOMPARE(again.state(), PortalKeyboard::State::notAsked);
            QVERIFY(answerDialog(again, false));
            QCOMPARE(again.state(), PortalKeyboard::State::refused);
        }
    }

    // Tovalin chooses the native backend by itself; its palette reads the field's selection
    // once it has the focus, takes the clipboard before it closes, and the answer is pasted
    // over the selection, its edges kept, once the desktop has been allowed to. A command run
    // without the palette (a desktop shortcut running --run) takes the focus for a moment with
    // a small window to read the selection the same way.
    void answersArePastedNatively()
    {
        TempStateDir state;
        QProcess ollama;
        const QString log = state.root() + "/requests.jsonl";
        ollama.start(QStringLiteral(FAKE_OLLAMA_BINARY), {"--port", "0", "--log", log, "--reply", "The cat sat."});
        QVERIFY(ollama.waitForReadyRead(5000));
        const auto port = QRegularExpression("listening (\\d+)").match(QString::fromUtf8(ollama.readLine()));
        QVERIFY(port.hasMatch());
        AppSettings settings;
        settings.aiProvider = AIProvider::ollama;
        settings.selectedModel = QStringLiteral("llama3");
        settings.ollamaHost = QStringLiteral("http://127.0.0.1:%1").arg(port.captured(1));
        QVERIFY(writeFile(state.configDir() + "/settings.json", JsonCodec::encodeSettingsDocument(settings)));
        QVERIFY(writeFile(state.configDir() + "/commands.json", JsonCodec::encodeCommandsDocument(defaultCommands())));
        QProcessEnvironment env = gnome->environment();
        env.insert("XDG_CONFIG_HOME", state.configHome());
        env.insert("XDG_STATE_HOME", state.stateHome());
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(TOVALIN_BINARY), {"--background"});
        QByteArray output;
        QVERIFY(QTest::qWaitFor([&] { return (output += app.readAllStandardOutput()).contains("native Wayland backend"); }, 10000));

        QList<QList<uint>> selecting{{homeKey}}; // " teh cat sat. ", with Shift and the arrows
        selecting << QList<QList<uint>>(4, {rightKey}) << QList<QList<uint>>(14, {shiftKey, rightKey});
        TextField field("Say: teh cat sat. Bye", selecting);
        QVERIFY(field.isFocused() && field.hasSelected(" teh cat sat. "));
        QProcess palette;
        palette.setProcessEnvironment(env);
        palette.start(QStringLiteral(TOVALIN_BINARY), {"--palette"});
        QVERIFY(palette.waitForFinished(10000) && palette.exitCode() == 0);
        QVERIFY(QTest::qWaitFor([&] { return field.timesLeft() == 1; }, 5000)); // to the palette
        QVERIFY(gnome->press({returnKey}));
        QVERIFY2(answerDialog(true), (output += app.readAllStandardOutput() + app.readAllStandardError()).constData());
        QTRY_COMPARE_WITH_TIMEOUT(field.text(), QString("Say: The cat sat. Bye"), 10000);
        QVERIFY(readFile(log).contains("teh cat sat."));

        QVERIFY(gnome->press({endKey}) && gnome->press({shiftKey, homeKey}) && field.hasSelected("Say: The cat sat. Bye"));
        const qsizetype left = field.timesLeft();
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(TOVALIN_BINARY), {"--run", "Fix Grammar & Spelling"});
        QVERIFY(run.waitForFinished(10000) && run.exitCode() == 0);
        QTRY_COMPARE_WITH_TIMEOUT(field.text(), QString("The cat sat."), 10000);
        QCOMPARE(field.timesLeft(), left + 1); // to the reading window, and back
        QVERIFY(readFile(log).contains("Say: The cat sat. Bye"));
        app.terminate();
        app.waitForFinished(5000);
        ollama.kill();
        ollama.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestGnomeEndToEnd)
#include "test_gnome_end_to_end.moc"
