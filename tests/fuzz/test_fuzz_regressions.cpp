// Every input the fuzzers once crashed on, the seeds they start from and a few thousand
// deterministic mutations of each seed, replayed through the same entries: an abort or a
// sanitizer report fails the test.
#include "fuzz_targets.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTest>

namespace {
QByteArray mutated(QByteArray m, QRandomGenerator& rng)
{
    for (int e = 0, edits = 1 + int(rng.bounded(3)); e < edits; ++e) {
        const int pos = int(rng.bounded(quint32(qMax<qsizetype>(1, m.size()))));
        switch (rng.bounded(4)) {
        case 0: if (!m.isEmpty()) m[pos] = char(rng.bounded(256)); break;
        case 1: m.truncate(pos); break;
        case 2: m.insert(pos, "{[\"\\:,0-e9"[rng.bounded(10)]); break;
        case 3: m.remove(pos, 1 + int(rng.bounded(8))); break;
        }
    }
    return m;
}
} // namespace

class TestFuzzRegressions : public QObject {
    Q_OBJECT
private slots:
    void inputsPassEveryEntry()
    {
        QRandomGenerator rng(20261206);
        int replayed = 0;
        for (const FuzzTargets::Target& target : FuzzTargets::all) {
            for (const char* folder : {FUZZ_REGRESSIONS_DIR, FUZZ_SEEDS_DIR}) {
                QDirIterator it(QString::fromUtf8(folder) + '/' + target.name, QDir::Files);
                while (it.hasNext()) {
                    QFile file(it.next());
                    QVERIFY(file.open(QIODevice::ReadOnly));
                    const QByteArray input = file.readAll();
                    const int runs = qstrcmp(folder, FUZZ_SEEDS_DIR) == 0 ? 3000 : 1;
                    for (int i = 0; i < runs; ++i) {
                        const QByteArray m = i == 0 ? input : mutated(input, rng);
                        target.entry(reinterpret_cast<const uint8_t*>(m.constData()), size_t(m.size()));
                    }
                    ++replayed;
                }
            }
        }
        QVERIFY(replayed >= int(FuzzTargets::all.size()));
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
