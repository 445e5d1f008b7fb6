// The real binary's command line, with and without a running instance, and what its
// socket does with clients that are not tovalin.
#include "temp_state_dir.h"

#include <QLocalSocket>
#include <QProcess>
#include <QTest>

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

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

Outcome tovalin(const TempStateDir& tmp, const QStringList& arguments)
{
    QProcess p;
    p.setProcessEnvironment(environmentFor(tmp));
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
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("alone");      // exit code without a running instance
        QTest::addColumn<QString>("aloneSays");
        QTest::addColumn<int>("running");    // with one
        QTest::addColumn<QString>("runningSays");
        const QString none = "Tovalin is not running\n";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--run <NAME>" << 0 << "--run <NAME>";
        const QString version = "Tovalin " TOVALIN_VERSION "\n";
        QTest::newRow("version") << QStringList{"--version"} << 0 << version << 0 << version;
        QTest::newRow("palette") << QStringList{"--palette"} << 1 << none << 0 << "Opening the palette\n";
        QTest::newRow("show") << QStringList{"--show"} << 1 << none << 0 << "Tovalin's window is in front\n";
        QTest::newRow("run") << QStringList{"--run", "Fix Grammar & Spelling"} << 1 << none << 0
                             << "Running \"Fix Grammar & Spelling\" on the selection\n";
        QTest::newRow("run unknown") << QStringList{"--run", "Fix grammar"} << 1 << none << 3
                                     << "No enabled command is named \"Fix grammar\"\n";
        const QString once = "tovalin: Use only one of --background, --palette, --run and --show\n";
        QTest::newRow("two at once") << QStringList{"--palette", "--show"} << 2 << once << 2 << once;
        const QString blank = "tovalin: --run needs the name of a command, on one line\n";
        QTest::newRow("blank name") << QStringList{"--run", " "} << 2 << blank << 2 << blank;
        const QString unknown = "tovalin: Unknown option 'bogus'.\n";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << unknown << 2 << unknown;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, alone);
        QFETCH(QString, aloneSays);
        QFETCH(int, running);
        QFETCH(QString, runningSays);
        TempStateDir tmp;
        for (const bool withInstance : {false, true}) {
            QProcess instance;
            if (withInstance) {
                instance.setProcessEnvironment(environmentFor(tmp));
                instance.start(TOVALIN_BINARY, {"--background"});
                QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(tmp.root() + "/tovalin/instance.sock"), 10000);
            }
            const Outcome outcome = tovalin(tmp, arguments);
            QCOMPARE(outcome.exitCode, withInstance ? running : alone);
            const QString& says = (outcome.exitCode == 0 ? outcome.out : outcome.err);
            QVERIFY2(says.contains(withInstance ? runningSays : aloneSays), qPrintable(says));
            if (withInstance) {
                instance.terminate();
                QVERIFY(instance.waitForFinished(10000));
                // A run reads the selection; offscreen there is none.
                QCOMPARE(instance.readAllStandardOutput().contains("No text selected for command hotkey"),
                         QTest::currentDataTag() == QByteArray("run"));
            }
        }
    }

    void strangersToTheSocketLeaveTheInstanceWorking()
    {
        TempStateDir tmp;
        QProcess instance;
        instance.setProcessEnvironment(environmentFor(tmp));
        instance.start(TOVALIN_BINARY, {"--background"});
        const QString socket = tmp.root() + "/tovalin/instance.sock";
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 10000);

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
        QCOMPARE(tovalin(tmp, {"--show"}).exitCode, 0);
        QCOMPARE(instance.state(), QProcess::Running);
        instance.terminate();
        QVERIFY(instance.waitForFinished(10000));
    }

    void aWaylandSessionWithoutX11IsSaidOnce()
    {
        TempStateDir tmp;
        QProcessEnvironment env = environmentFor(tmp);
        env.insert("WAYLAND_DISPLAY", "wayland-0");
        env.remove("DISPLAY");
        QProcess instance;
        instance.setProcessEnvironment(env);
        instance.start(TOVALIN_BINARY, {"--background"});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(tmp.root() + "/tovalin/instance.sock"), 10000);
        QCOMPARE(tovalin(tmp, {"--show"}).exitCode, 0); // the window built and shown
        instance.terminate();
        QVERIFY(instance.waitForFinished(10000));
        const QByteArray out = instance.readAllStandardOutput();
        QCOMPARE(out.count("Wayland session without X11: "), 1);
        QVERIFY(out.contains("bind keys to \"tovalin --palette\""));
    }
};

QTEST_GUILESS_MAIN(TestRemoteCommands)
#include "test_remote_commands.moc"
