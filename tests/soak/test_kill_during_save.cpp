// kill -9 while the real binary saves, then start again: the settings read back are the old
// document or the new one, never a broken one. The save is the one every start makes when
// launch-at-login cannot be followed (the autostart folder is blocked), of a settings document
// made large (a 4 MiB key) so the writing takes long enough to be hit.
#include "json_codec.h"
#include "temp_state_dir.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

class TestKillDuringSave : public QObject {
    Q_OBJECT
private slots:
    void theNextStartReadsTheOldOrTheNewDocument()
    {
        TempStateDir tmp;
        QVERIFY(writeFile(tmp.configHome() + "/autostart", "not a folder"));
        AppSettings old;
        old.openaiApiKey = QString(4 * 1024 * 1024, 'k');
        old.launchAtLogin = true;
        AppSettings updated = old;
        updated.launchAtLogin = false;
        const QString path = tmp.configDir() + "/settings.json";
        const QByteArray oldBytes = JsonCodec::encodeSettingsDocument(old);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", tmp.configHome());
        env.insert("XDG_STATE_HOME", tmp.stateHome());
        env.insert("XDG_RUNTIME_DIR", tmp.root());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        bool stoppedByItself = false;
        // Starts the binary; with a kill delay, kills it then, else waits for the save.
        const auto start = [&](std::optional<int> killAfterMs) -> qint64 {
            QProcess app;
            app.setProcessEnvironment(env);
            QElapsedTimer clock;
            clock.start();
            app.start(QStringLiteral(TOVALIN_BINARY), {QStringLiteral("--background")});
            app.waitForStarted();
            if (killAfterMs) {
                while (clock.elapsed() < *killAfterMs && app.state() == QProcess::Running)
                    QTest::qWait(1);
            } else {
                while (readFile(path) == oldBytes && clock.elapsed() < 20000 && app.state() == QProcess::Running)
                    QTest::qWait(1);
            }
            // A start that ended by itself refused to run: that is a fault, not a kill.
            stoppedByItself = app.state() != QProcess::Running;
            if (stoppedByItself)
                qWarning("Tovalin ended by itself: %s", app.readAllStandardOutput().constData());
            app.kill(); // never kill(pid): a process already reaped has pid 0, our whole group
            app.waitForFinished();
            return clock.elapsed();
        };

        QVERIFY(writeFile(path, oldBytes));
        const qint64 savedAfterMs = start(std::nullopt); // how long a start takes to the save
        QVERIFY(!stoppedByItself);
        QCOMPARE(JsonCodec::decodeSettingsDocument(readFile(path)), updated);
        int olds = 0, news = 0;
        for (int i = 0; i < 200; ++i) {
            if (readFile(path) != oldBytes)
                QVERIFY(writeFile(path, oldBytes));
            start(int(QRandomGenerator::global()->bounded(savedAfterMs * 3 / 2)));
            QVERIFY2(!stoppedByItself, qPrintable(QString("iteration %1").arg(i)));
            const std::optional<AppSettings> read = JsonCodec::decodeSettingsDocument(readFile(path));
            QVERIFY2(read == old || read == updated, qPrintable(QString("iteration %1").arg(i)));
            (read == old ? olds : news) += 1;
        }
        qInfo("save reached after %lld ms; %d kills left the old document, %d the new", savedAfterMs, olds, news);
        QVERIFY(olds > 0 && news > 0);
        // Nothing was ever found unreadable and set aside.
        QDirIterator it(tmp.configDir(), {"*.unreadable*"}, QDir::Files);
        QVERIFY(!it.hasNext());
    }
};

QTEST_GUILESS_MAIN(TestKillDuringSave)
#include "test_kill_during_save.moc"
