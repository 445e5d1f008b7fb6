// The instance guard on real folders: who may use them, and what a second start learns.
#include "console_capture.h"
#include "single_instance.h"
#include "temp_state_dir.h"

#include <QDir>
#include <QLocalServer>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void runtimeFolderMustBeTheUsers_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("why"); // empty: the start goes ahead
        QTest::newRow("open folder of ours") << "chmod" << "";
        QTest::newRow("a file") << "file" << "it is not a folder";
        QTest::newRow("another user's folder") << "chown" << "it belongs to another user (uid 65534)";
    }
    void runtimeFolderMustBeTheUsers()
    {
        QFETCH(QString, setup);
        QFETCH(QString, why);
        if (setup == "chown" && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/tovalin-1000";
        if (setup == "file")
            QVERIFY(writeFile(dir, "squatted"));
        else
            QVERIFY(QDir().mkdir(dir) && QFile::setPermissions(dir, QFileDevice::Permissions(0x7777)));
        if (setup == "chown")
            QVERIFY(::chown(QFile::encodeName(dir).constData(), 65534, 65534) == 0);
        ConsoleCapture console;
        SingleInstance instance(dir);
        QCOMPARE(instance.claim(), why.isEmpty());
        QVERIFY(!instance.handedOver());
        if (why.isEmpty())
            QCOMPARE(fileMode(dir), 0700);
        QCOMPARE(console.lines, why.isEmpty() ? QStringList() : QStringList{"Cannot use the runtime folder " + dir + ": " + why});
    }

    void aVanishedSocketIsMadeAgain()
    {
        for (const QString how : {"deleted", "closed", "folder removed"}) { // the last: rm -rf $XDG_RUNTIME_DIR/tovalin
            QTemporaryDir runtime;
            const QString dir = runtime.path() + "/tovalin", socket = dir + "/instance.sock";
            SingleInstance first(dir), second(dir);
            QSignalSpy shown(&first, &SingleInstance::activationRequested);
            QVERIFY(first.claim());
            if (how == "closed")
                first.findChild<QLocalServer*>()->close();
            else if (how == "deleted")
                QVERIFY(QFile::remove(socket));
            else
                QVERIFY(QDir(dir).removeRecursively());
            QVERIFY(!QFileInfo::exists(socket));
            QTRY_VERIFY(QFileInfo::exists(socket));
            QCOMPARE(QFileInfo(dir).permissions() & 0x0077, 0); // made again under the same rules
            QVERIFY2(!second.claim() && second.handedOver(), qPrintable(how)); // the lock was taken again too
            QTRY_COMPARE(shown.size(), 1);
        }
    }

    void aStartThatCannotReachTheRunningOneSaysSo()
    {
        QTemporaryDir runtime;
        QLockFile held(runtime.path() + "/instance.lock"); // running, but never listening
        QVERIFY(held.tryLock(0));
        ConsoleCapture console;
        SingleInstance instance(runtime.path());
        QVERIFY(!instance.claim());
        QVERIFY(!instance.handedOver());
        QCOMPARE(console.lines, QStringList{QString("Tovalin is already running (pid %1) but does not answer at %2/instance.sock")
                                               .arg(QCoreApplication::applicationPid()).arg(runtime.path())});
    }

    // A start killed while it wrote its lock leaves the file empty or half written.
    void aLockLeftByAKilledStartIsTakenAtOnce()
    {
        QTemporaryDir runtime;
        for (const QByteArray& left : {QByteArray(), QByteArray("4"), QByteArray("2147483646\n")}) {
            QVERIFY(writeFile(runtime.path() + "/instance.lock", left));
            SingleInstance instance(runtime.path());
            QVERIFY2(instance.claim(), left.constData());
        }
        // A link in its place is never written through.
        const QString lock = runtime.path() + "/instance.lock", kept = runtime.path() + "/kept";
        QVERIFY(QFile::remove(lock) && writeFile(kept, "kept") && QFile::link(kept, lock));
        ConsoleCapture console;
        QVERIFY(!SingleInstance(runtime.path()).claim());
        QCOMPARE(readFile(kept), QByteArray("kept"));
    }

    void twoRuntimeFoldersCannotShareTheStateFolders()
    {
        TempStateDir state;
        QTemporaryDir runtimeA, runtimeB;
        const QStringList stateDirs{state.configDir(), state.stateDir()};
        ConsoleCapture console;
        auto first = std::make_unique<SingleInstance>(runtimeA.path(), stateDirs);
        SingleInstance second(runtimeB.path(), stateDirs);
        QVERIFY(first->claim());
        QCOMPARE(fileMode(state.configDir()), 0700);
        QVERIFY(!second.claim());
        QVERIFY(!second.handedOver());
        QCOMPARE(console.lines, QStringList{QString("Another Tovalin (pid %1) uses %2 and cannot be reached from here")
                                               .arg(QCoreApplication::applicationPid()).arg(state.configDir())});
        first.reset();
        QVERIFY(second.claim()); // the folders are free again
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
