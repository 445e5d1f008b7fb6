// Every input the fuzzers once crashed on, and the seeds they start from, replayed through
// the same entries: an abort or a sanitizer report fails the test.
#include "fuzz_targets.h"

#include <QDirIterator>
#include <QTest>

class TestFuzzRegressions : public QObject {
    Q_OBJECT
private slots:
    void inputsPassEveryEntry()
    {
        int replayed = 0;
        for (const FuzzTargets::Target& target : FuzzTargets::all) {
            for (const char* folder : {FUZZ_REGRESSIONS_DIR, FUZZ_SEEDS_DIR}) {
                QDirIterator it(QString::fromUtf8(folder) + '/' + target.name, QDir::Files);
                while (it.hasNext()) {
                    QFile file(it.next());
                    QVERIFY(file.open(QIODevice::ReadOnly));
                    const QByteArray input = file.readAll();
                    target.entry(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
                    ++replayed;
                }
            }
        }
        QVERIFY(replayed >= int(FuzzTargets::all.size()));
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
