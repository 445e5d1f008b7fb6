// The real binary, started the way a user starts it, with a private state location.
#include "json_codec.h"
#include "temp_state_dir.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QProcessEnvironment environmentFor(const TempStateDir& tmp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp.configHome());
    env.insert(QStringLiteral("XDG_STATE_HOME"), tmp.stateHome());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.root());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}
} // namespace

class TestFirstStart : public QObject {
    Q_OBJECT
private slots:
    void firstStartSeedsCommandsOnlyAndOneInstanceRuns()
    {
        TempStateDir tmp;
        QProcess first;
        first.setProcessEnvironment(environmentFor(tmp));
        first.start(QStringLiteral(TOVALIN_BINARY), {});
        QVERIFY(first.waitForStarted());
        const QString commands = tmp.configDir() + QStringLiteral("/commands.json");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(commands), 10000);

        QFile file(commands);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto decoded = JsonCodec::decodeCommandsDocument(file.readAll());
        QVERIFY(decoded);
        QCOMPARE(decoded->size(), 7);
        QCOMPARE(decoded->first().name, QStringLiteral("Fix Grammar & Spelling"));
        QCOMPARE(fileMode(commands), 0600);
        QCOMPARE(fileMode(tmp.configDir()), 0700);
        QVERIFY(!QFileInfo::exists(tmp.configDir() + QStringLiteral("/settings.json")));
        QVERIFY(!QFileInfo::exists(tmp.stateDir() + QStringLiteral("/history.json")));
        QCOMPARE(first.state(), QProcess::Running);

        // A second start hands over to the running one and leaves at once.
        QProcess second;
        second.setProcessEnvironment(environmentFor(tmp));
        second.start(QStringLiteral(TOVALIN_BINARY), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // Ended by the session: leaves cleanly.
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);

        // And the next start is the one instance again.
        QProcess third;
        third.setProcessEnvironment(environmentFor(tmp));
        third.start(QStringLiteral(TOVALIN_BINARY), {});
        QVERIFY(third.waitForStarted());
        QVERIFY(!third.waitForFinished(1500));
        third.terminate();
        QVERIFY(third.waitForFinished(10000));
    }

    // Without XDG_RUNTIME_DIR the runtime folder is in the shared temp folder.
    void aStartThatCannotRunSaysWhyAndFails()
    {
        TempStateDir tmp;
        QProcessEnvironment env = environmentFor(tmp);
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.insert(QStringLiteral("TMPDIR"), tmp.root());
        const QString runtime = tmp.root() + QStringLiteral("/tovalin-%1").arg(::getuid());
        QVERIFY(writeFile(runtime, "squatted"));
        QLockFile held(runtime + QStringLiteral("/instance.lock"));
        const QString lines[] = {
            "Cannot use the runtime folder " + runtime + ": it is not a folder",
            QStringLiteral("Tovalin is already running (pid %1) but does not answer at %2/instance.sock")
                .arg(QCoreApplication::applicationPid()).arg(runtime),
        };
        for (const QString& line : lines) {
            if (&line == &lines[1]) { // a folder of ours, locked by a "running" one that never listens
                QFile::remove(runtime);
                QVERIFY(QDir().mkdir(runtime) && held.tryLock(0));
            }
            QProcess start;
            start.setProcessEnvironment(env);
            start.start(QStringLiteral(TOVALIN_BINARY), {});
            QVERIFY(start.waitForFinished(10000));
            QCOMPARE(start.exitCode(), 1);
            QVERIFY2(start.readAllStandardOutput().contains(line.toUtf8()), qPrintable(line));
        }
    }
};

QTEST_GUILESS_MAIN(TestFirstStart)
#include "test_first_start.moc"
