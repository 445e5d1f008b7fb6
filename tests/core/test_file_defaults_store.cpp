#include "app_state.h"
#include "console_capture.h"
#include "file_defaults_store.h"
#include "temp_state_dir.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>

class TestFileDefaultsStore : public QObject {
    Q_OBJECT
private slots:
    void xdgPlacesAndPrivateModes()
    {
        TempStateDir tmp;
        FileDefaultsStore store = FileDefaultsStore::forCurrentUser();
        QCOMPARE(store.pathForKey("tovalin_settings"), tmp.configDir() + "/settings.json");
        QCOMPARE(store.pathForKey("tovalin_commands"), tmp.configDir() + "/commands.json");
        const QString history = tmp.stateDir() + "/history.json";
        QCOMPARE(store.pathForKey("tovalin_history"), history);

        QCOMPARE(store.data("tovalin_history"), std::nullopt);
        QVERIFY(store.setData("tovalin_history", "[1]"));
        QFile::setPermissions(history, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        QVERIFY(store.setData("tovalin_history", "[2]")); // replacing restores the private mode
        QCOMPARE(store.data("tovalin_history"), std::optional<QByteArray>("[2]"));
        QCOMPARE(fileMode(tmp.stateDir()), 0700);
        QCOMPARE(fileMode(history), 0600);
        QCOMPARE(QDir(tmp.stateDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"history.json"});

        qputenv("XDG_CONFIG_HOME", "relative/dir"); // invalid by XDG rules: ignored
        QVERIFY(FileDefaultsStore::forCurrentUser().pathForKey("tovalin_settings").startsWith(QDir::homePath() + "/.config/tovalin/"));
    }

    void unreadableDocumentsAreKeptBeforeTheFirstOverwrite()
    {
        TempStateDir tmp;
        const QString commands = tmp.configDir() + "/commands.json";
        const QByteArray broken("[{\"name\": \"half a command\"");
        QVERIFY(writeFile(commands, broken));
        ConsoleCapture console;
        FileDefaultsStore store(tmp.configDir(), tmp.stateDir());
        {
            AppState state({&store, nullptr, nullptr, {}});
            QCOMPARE(state.commands().size(), 7);
            QCOMPARE(QFile(commands).size(), qint64(broken.size())); // loading writes nothing
            state.deleteCommand(state.commands().first());
            state.deleteCommand(state.commands().first());
        }
        QFile kept(commands + ".unreadable");
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), broken);
        QCOMPARE(console.lines.size(), 1); // only the first save keeps a copy, and says where
        QVERIFY(console.lines[0].contains(commands) && console.lines[0].contains(commands + ".unreadable"));

        // A folder where the file should be: defaults, not reseeded, moved aside on the
        // first save without overwriting the earlier copy.
        QFile::remove(commands);
        QDir().mkpath(commands);
        AppState state({&store, nullptr, nullptr, {}});
        QCOMPARE(state.commands().size(), 7);
        QVERIFY(QFileInfo(commands).isDir());
        state.resetCommandsToDefaults();
        QVERIFY(QFileInfo(commands).isFile());
        QVERIFY(QFileInfo(commands + ".unreadable.2").isDir());
    }
};

QTEST_GUILESS_MAIN(TestFileDefaultsStore)
#include "test_file_defaults_store.moc"
