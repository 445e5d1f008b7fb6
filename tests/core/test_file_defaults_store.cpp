#include "app_state.h"
#include "console_capture.h"
#include "file_defaults_store.h"
#include "temp_state_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>

namespace {
int modeOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestFileDefaultsStore : public QObject {
    Q_OBJECT
private slots:
    void xdgPlacesAndPrivateModes()
    {
        TempStateDir tmp;
        FileDefaultsStore store = FileDefaultsStore::forCurrentUser();
        QCOMPARE(store.pathForKey("tovalin_settings"), tmp.configDir() + "/settings.json");
        QCOMPARE(store.pathForKey("tovalin_commands"), tmp.configDir() + "/commands.json");
        QCOMPARE(store.pathForKey("tovalin_history"), tmp.stateDir() + "/history.json");
        QCOMPARE(store.pathForKey("other"), QString());

        QCOMPARE(store.data("tovalin_history"), std::nullopt);
        QVERIFY(store.setData("tovalin_history", "[1]"));
        QCOMPARE(store.data("tovalin_history"), std::optional<QByteArray>("[1]"));
        QCOMPARE(modeOf(tmp.stateDir()), 0700);
        QCOMPARE(modeOf(tmp.stateDir() + "/history.json"), 0600);
        // Replacing keeps the private mode even if the user loosened it.
        QFile::setPermissions(tmp.stateDir() + "/history.json", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        QVERIFY(store.setData("tovalin_history", "[2]"));
        QCOMPARE(modeOf(tmp.stateDir() + "/history.json"), 0600);
        QCOMPARE(QDir(tmp.stateDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"history.json"});

        // Relative XDG paths are ignored.
        qputenv("XDG_CONFIG_HOME", "relative/dir");
        QVERIFY(FileDefaultsStore::forCurrentUser().pathForKey("tovalin_settings").startsWith(QDir::homePath() + "/.config/tovalin/"));
    }

    void unreadableDocumentsAreKeptBeforeTheFirstOverwrite()
    {
        TempStateDir tmp;
        const QString commands = tmp.configDir() + "/commands.json";
        const QByteArray broken("[{\"name\": \"half a command\"");
        writeFile(commands, broken);
        ConsoleCapture console;
        {
            FileDefaultsStore store(tmp.configDir(), tmp.stateDir());
            AppState state({&store, nullptr, nullptr, {}});
            QCOMPARE(state.commands().size(), 7);
            // Loading writes nothing back.
            QCOMPARE(QFile(commands).size(), qint64(broken.size()));
            QVERIFY(!QFileInfo::exists(commands + ".unreadable"));
            QVERIFY(console.lines.isEmpty());

            state.deleteCommand(state.commands().first());
            QFile kept(commands + ".unreadable");
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), broken);
            QCOMPARE(console.lines.size(), 1);
            QVERIFY(console.lines[0].contains(commands));
            QVERIFY(console.lines[0].contains(commands + ".unreadable"));
            // Only the first save keeps a copy.
            state.deleteCommand(state.commands().first());
            QCOMPARE(console.lines.size(), 1);
        }
        // A later unreadable document does not overwrite the earlier copy.
        writeFile(commands, "garbage");
        FileDefaultsStore store(tmp.configDir(), tmp.stateDir());
        AppState state({&store, nullptr, nullptr, {}});
        state.resetCommandsToDefaults();
        QVERIFY(QFileInfo::exists(commands + ".unreadable.2"));
        QCOMPARE(state.commands().size(), 7);
    }

    void foldersAndUnreadableFilesLoadAsDefaults()
    {
        TempStateDir tmp;
        QDir().mkpath(tmp.configDir() + "/settings.json");   // a folder where a file should be
        QDir().mkpath(tmp.configDir() + "/commands.json");
        writeFile(tmp.stateDir() + "/history.json", "[]");
        QFile::setPermissions(tmp.stateDir() + "/history.json", QFileDevice::Permissions());
        FileDefaultsStore store(tmp.configDir(), tmp.stateDir());
        AppState state({&store, nullptr, nullptr, {}});
        QCOMPARE(state.settings(), AppSettings{});
        QCOMPARE(state.commands().size(), 7);
        QVERIFY(state.history().isEmpty());
        // Not reseeded: the folder is still there, untouched.
        QVERIFY(QFileInfo(tmp.configDir() + "/commands.json").isDir());
        // The first save moves the folder aside and writes a real document.
        state.resetCommandsToDefaults();
        QVERIFY(QFileInfo(tmp.configDir() + "/commands.json").isFile());
        QVERIFY(QFileInfo(tmp.configDir() + "/commands.json.unreadable").isDir());
    }
};

QTEST_GUILESS_MAIN(TestFileDefaultsStore)
#include "test_file_defaults_store.moc"
