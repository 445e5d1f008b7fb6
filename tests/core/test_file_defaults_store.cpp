#include "app_state.h"
#include "console_capture.h"
#include "file_defaults_store.h"
#include "temp_state_dir.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

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
        QVERIFY(writeFile(commands + ".unreadable.9", "left by an older version"));
        ConsoleCapture console;
        FileDefaultsStore store(tmp.configDir(), tmp.stateDir());
        {
            AppState state({&store, nullptr, nullptr, {}});
            QCOMPARE(state.commands().size(), 7);
            QCOMPARE(QFile(commands).size(), qint64(broken.size())); // loading writes nothing
            state.deleteCommand(state.commands().first());
            state.deleteCommand(state.commands().first());
        }
        QCOMPARE(readFile(commands + ".unreadable"), broken);
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
        QVERIFY(QFileInfo(commands + ".unreadable").isDir()); // the newest copy has the plain name
        QCOMPARE(readFile(commands + ".unreadable.2"), broken);

        // Only the three newest copies stay, each private; older ones, the folder too, go.
        for (int i = 1; i <= 3; ++i) {
            QFile::setPermissions(commands + ".unreadable", QFileDevice::Permissions(0x6644)); // opened up by hand
            QVERIFY(writeFile(commands, "broken " + QByteArray::number(i)));
            QFile::setPermissions(commands, QFile::permissions(commands) | QFileDevice::ReadOther);
            store.markUnreadable("tovalin_commands");
            QVERIFY(store.setData("tovalin_commands", "[]"));
        }
        const QStringList kept{"commands.json.unreadable", "commands.json.unreadable.2", "commands.json.unreadable.3"};
        QCOMPARE(QDir(tmp.configDir()).entryList({"*.unreadable*"}, QDir::AllEntries | QDir::NoDotAndDotDot), kept);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(readFile(tmp.configDir() + "/" + kept[i]), "broken " + QByteArray::number(3 - i));
            QCOMPARE(fileMode(tmp.configDir() + "/" + kept[i]), 0600);
        }
    }

    void everyDocumentWrittenCanBeReadBack()
    {
        TempStateDir tmp;
        ConsoleCapture console;
        FileDefaultsStore store(tmp.configDir(), tmp.stateDir(), 4096);
        QVERIFY(store.setData("tovalin_settings", "{}"));
        QVERIFY(!store.setData("tovalin_settings", QByteArray(4097, ' ')));
        QCOMPARE(readFile(tmp.configDir() + "/settings.json"), "{}");
        QVERIFY(console.containsPrefix("Not writing " + tmp.configDir() + "/settings.json: 4097 bytes"));

        // The history drops its oldest entries rather than outgrow what is read back.
        AppState state({&store, nullptr, nullptr, {}});
        for (int i = 0; i < 10; ++i) {
            HistoryItem item;
            item.id = item.commandId = QUuid::createUuid();
            item.originalText = QString(600, QChar('a' + i));
            item.timestamp = QDateTime::currentDateTimeUtc();
            state.addHistoryItem(item);
        }
        QVERIFY(QFileInfo(tmp.stateDir() + "/history.json").size() <= 4096);
        QVERIFY(state.history().size() > 1 && state.history().size() < 10);
        QCOMPARE(state.history().first().originalText[0], QChar('j'));
        FileDefaultsStore again(tmp.configDir(), tmp.stateDir(), 4096);
        QCOMPARE(AppState({&again, nullptr, nullptr, {}}).history(), state.history());
    }

    // Folders and documents are used only when they are the user's own; open ones are closed.
    void placesOfOthersAreRefused_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("refused"); // relative to the config home; empty: usable
        QTest::addColumn<QString>("why");
        QTest::newRow("open folder") << "chmod 777 dir" << "" << "";
        QTest::newRow("link to a file") << "link file" << "tovalin/settings.json" << "it is a symbolic link";
        QTest::newRow("another user's folder") << "chown dir" << "tovalin" << "it belongs to another user (uid 65534)";
        QTest::newRow("another user's file") << "chown file" << "tovalin/settings.json" << "it belongs to another user (uid 65534)";
        QTest::newRow("link to another user's folder") << "link dir" << "tovalin" << "it belongs to another user (uid 65534)";
    }
    void placesOfOthersAreRefused()
    {
        QFETCH(QString, setup);
        QFETCH(QString, refused);
        QFETCH(QString, why);
        if (setup.startsWith("chown") || setup == "link dir") {
            if (::geteuid() != 0)
                QSKIP("giving a folder to another user needs root");
        }
        TempStateDir tmp;
        const QString dir = tmp.configDir(), settings = dir + "/settings.json";
        const QByteArray stored = R"({"theme":"dark"})";
        const auto chown = [](const QString& path) { return ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0; };
        if (setup == "link dir") {
            QVERIFY(writeFile(tmp.root() + "/elsewhere/settings.json", stored));
            QVERIFY(chown(tmp.root() + "/elsewhere") && QDir().mkpath(tmp.configHome()));
            QVERIFY(QFile::link(tmp.root() + "/elsewhere", dir));
        } else {
            QVERIFY(writeFile(settings, stored));
        }
        if (setup == "chmod 777 dir")
            QFile::setPermissions(dir, QFileDevice::Permissions(0x7777));
        if (setup == "link file") {
            QVERIFY(QFile::rename(settings, tmp.root() + "/victim"));
            QVERIFY(QFile::link(tmp.root() + "/victim", settings));
        }
        if (setup == "chown dir")
            QVERIFY(chown(dir));
        if (setup == "chown file")
            QVERIFY(chown(settings));

        ConsoleCapture console;
        FileDefaultsStore store(dir, tmp.stateDir());
        const auto read = store.data("tovalin_settings");
        const bool written = store.setData("tovalin_settings", "{}");
        if (refused.isEmpty()) {
            QCOMPARE(read, std::optional<QByteArray>(stored));
            QVERIFY(written);
            QCOMPARE(fileMode(dir), 0700);
            QVERIFY(console.lines.isEmpty());
        } else {
            QCOMPARE(read, std::optional<QByteArray>(QByteArray())); // there, but not read
            QVERIFY(!written);
            QCOMPARE(readFile(setup == "link file" ? tmp.root() + "/victim" : settings), stored);
            QCOMPARE(console.lines, QStringList{"Not using " + tmp.configHome() + "/" + refused + ": " + why});
            // The user is told why, not that the document is empty.
            const AppState state({&store, nullptr, nullptr, {}});
            QVERIFY(state.unreadableSettings());
            QCOMPARE(state.unreadableSettings()->reason, why);
        }
    }
};

QTEST_GUILESS_MAIN(TestFileDefaultsStore)
#include "test_file_defaults_store.moc"
