// The real binary: its first start, its command line with and without a running instance,
// and what its socket does with clients that are not tovalin.
#include "json_codec.h"
#include "temp_state_dir.h"

#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <unistd.h>

namespace {
QProcessEnvironment environmentFor(const TempStateDir& tmp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", tmp.configHome());
    env.insert("XDG_STATE_HOME", tmp.stateHome());
    env.insert("XDG_RUNTIME_DIR", tmp.root());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

// Started, and up once its socket is there.
bool start(QProcess& instance, const QProcessEnvironment& env, const QStringList& arguments = {"--background"})
{
    instance.setProcessEnvironment(env);
    instance.start(TOVALIN_BINARY, arguments);
    const QString socket = env.value("XDG_RUNTIME_DIR") + "/tovalin/instance.sock";
    return QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 10000);
}

bool stop(QProcess& instance)
{
    instance.terminate();
    return instance.waitForFinished(10000);
}

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

Outcome tovalin(const QProcessEnvironment& env, const QStringList& arguments)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(TOVALIN_BINARY, arguments);
    if (!p.waitForFinished(10000))
        p.kill();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray ask(const QString& socketPath, const QByteArray& bytes)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(2000))
        return "not connected";
    socket.write(bytes);
    socket.waitForBytesWritten(2000);
    while (!socket.canReadLine() && socket.waitForReadyRead(3000)) {
    }
    return socket.readLine();
}
} // namespace

class TestRemoteCommands : public QObject {
    Q_OBJECT
private slots:
    // Only the command list is written, privately; a second start hands over to the first.
    void firstStartSeedsTheCommandsAndOneInstanceRuns()
    {
        TempStateDir tmp;
        QProcess first;
        QVERIFY(start(first, environmentFor(tmp), {}));
        const QString commands = tmp.configDir() + "/commands.json";
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(commands), 10000);
        QCOMPARE(JsonCodec::decodeCommandsDocument(readFile(commands)).value_or(QList<Command>{}).size(), 7);
        QCOMPARE(fileMode(commands), 0600);
        QCOMPARE(fileMode(tmp.configDir()), 0700);
        QVERIFY(!QFileInfo::exists(tmp.configDir() + "/settings.json"));
        QVERIFY(!QFileInfo::exists(tmp.stateDir() + "/history.json"));
        QCOMPARE(tovalin(environmentFor(tmp), {}).exitCode, 0);
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(stop(first)); // ended by the session: it leaves cleanly
        QVERIFY(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0);
        QProcess next; // and the next start is the one instance again
        QVERIFY(start(next, environmentFor(tmp), {}));
        QVERIFY(!next.waitForFinished(1000));
        QVERIFY(stop(next));
    }

    // Without XDG_RUNTIME_DIR the runtime folder is in the shared temp folder.
    void aStartThatCannotUseItsRuntimeFolderSaysWhyAndFails()
    {
        TempStateDir tmp;
        QProcessEnvironment env = environmentFor(tmp);
        env.remove("XDG_RUNTIME_DIR");
        env.insert("TMPDIR", tmp.root());
        const QString runtime = tmp.root() + QString("/tovalin-%1").arg(::getuid());
        QVERIFY(writeFile(runtime, "squatted"));
        const Outcome outcome = tovalin(env, {});
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.out.contains("Cannot use the runtime folder " + runtime + ": it is not a folder\n"), qPrintable(outcome.out));
    }

    void commandLine()
    {
        const QString none = "Tovalin is not running\n", version = "Tovalin " TOVALIN_VERSION "\n";
        const QString once = "tovalin: Use only one of --background, --palette, --run and --show\n";
        const QString blank = "tovalin: --run needs the name of a command, on one line\n";
        const QString unknown = "tovalin: Unknown option 'bogus'.\n";
        // The exit code and what is said without a running instance, then with one.
        const struct { QStringList arguments; int alone; QString aloneSays; int running; QString runningSays; } cases[] = {
            {{"--help"}, 0, "--run <NAME>", 0, "--run <NAME>"},
            {{"--help-all"}, 0, "-platform NAME", 0, "-platform NAME"},
            {{"--version"}, 0, version, 0, version},
            {{"--palette"}, 1, none, 0, "Opening the palette\n"},
            {{"--show"}, 1, none, 0, "Tovalin's window is in front\n"},
            {{"--run", "Fix Grammar & Spelling"}, 1, none, 0, "Running \"Fix Grammar & Spelling\" on the selection\n"},
            {{"--run", "Fix grammar"}, 1, none, 3, "No enabled command is named \"Fix grammar\"\n"},
            {{"--palette", "--show"}, 2, once, 2, once},
            {{"--run", " "}, 2, blank, 2, blank},
            {{"--bogus"}, 2, unknown, 2, unknown},
        };
        TempStateDir tmp;
        for (const auto& c : cases) {
            for (const bool withInstance : {false, true}) {
                QProcess instance;
                if (withInstance)
                    QVERIFY(start(instance, environmentFor(tmp)));
                const Outcome outcome = tovalin(environmentFor(tmp), c.arguments);
                QCOMPARE(outcome.exitCode, withInstance ? c.running : c.alone);
                const QString& says = (outcome.exitCode == 0 ? outcome.out : outcome.err);
                QVERIFY2(says.contains(withInstance ? c.runningSays : c.aloneSays), qPrintable(says));
                if (withInstance) {
                    QVERIFY(stop(instance));
                    // A run reads the selection; offscreen there is none.
                    QCOMPARE(instance.readAllStandardOutput().contains("No text selected for command hotkey"),
                             c.arguments == QStringList({"--run", "Fix Grammar & Spelling"}));
                }
            }
        }
    }

    void strangersToTheSocketLeaveTheInstanceWorking()
    {
        TempStateDir tmp;
        QProcess instance;
        QVERIFY(start(instance, environmentFor(tmp)));
        const QString socket = tmp.root() + "/tovalin/instance.sock";

        const QByteArray refused = "2 Tovalin did not understand the request\n";
        QCOMPARE(ask(socket, QByteArray("\xff\xfe\x00garbage\n", 12)), refused);
        QCOMPARE(ask(socket, "run Fix\x01Grammar\n"), refused);
        // No line end, ever: refused, or cut off while still writing.
        QVERIFY(QList<QByteArray>({refused, ""}).contains(ask(socket, QByteArray(1024 * 1024, 'x'))));
        QLocalSocket silent; // connects and never speaks: dropped, not waited for
        silent.connectToServer(socket);
        QVERIFY(silent.waitForConnected(2000));
        QTRY_COMPARE_WITH_TIMEOUT(silent.state(), QLocalSocket::UnconnectedState, 10000);

        QCOMPARE(ask(socket, "palette\n"), QByteArray("0 Opening the palette\n"));
        QCOMPARE(tovalin(environmentFor(tmp), {"--show"}).exitCode, 0);
        QCOMPARE(instance.state(), QProcess::Running);
        QVERIFY(stop(instance));
    }

    void aWaylandSessionWithoutX11IsSaidOnce()
    {
        TempStateDir tmp;
        QProcessEnvironment env = environmentFor(tmp);
        env.insert("WAYLAND_DISPLAY", "wayland-0");
        env.remove("DISPLAY");
        QProcess instance;
        QVERIFY(start(instance, env));
        QCOMPARE(tovalin(env, {"--show"}).exitCode, 0); // the window built and shown
        QVERIFY(stop(instance));
        const QByteArray out = instance.readAllStandardOutput();
        QCOMPARE(out.count("Wayland session without X11: "), 1);
        QVERIFY(out.contains("bind keys to \"tovalin --palette\""));
    }
};

QTEST_GUILESS_MAIN(TestRemoteCommands)
#include "test_remote_commands.moc"
