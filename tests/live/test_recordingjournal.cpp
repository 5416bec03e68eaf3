// The recorder's journal on a real folder: files start and end where the table is emptied,
// at midnight and after the row limit; a file left open by a dead writer is recovered, one a
// live writer holds is not; the bounds remove the oldest closed files and never the current
// one; a folder that cannot be written is reported once and costs no sample.
#include "daycount.h"
#include "portablecsv.h"
#include "recorder.h"
#include "recordingjournal.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

RecorderSample sample(int number, const QDateTime& when, const QString& value = "1.234") {
    RecorderSample s;
    s.number = number;
    s.when = dateTimeToDays(when);
    s.value = value.toFloat();
    s.valueText = value;
    s.unitText = QStringLiteral("V");
    s.function = QStringLiteral("Voltage");
    return s;
}

QStringList filesIn(const QString& folder, const QString& pattern = "*") {
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}

QList<QByteArray> lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> all = f.readAll().split('\n');
    if (!all.isEmpty() && all.back().isEmpty())
        all.removeLast();
    return all;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestRecordingJournal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("TZ", "UTC"); }
    void init() {
        QVERIFY(dir.isValid());
        folder = dir.filePath("recordings");
        QDir(folder).removeRecursively();
        QFile::remove(folder);
    }

    void filesFollowTheTable();
    void leftOpenFilesAreRecovered();
    void boundsRemoveOldestFirstNeverTheCurrent();
    void unwritableFolderIsReportedOnce();

private:
    JournalSettings settings() const {
        JournalSettings s;
        s.folder = folder;
        return s;
    }
    QTemporaryDir dir;
    QString folder;
};

void TestRecordingJournal::filesFollowTheTable() {
    RecordingJournal journal;
    JournalSettings s = settings();
    s.maxRowsPerFile = 3;
    journal.setSettings(s);
    QSignalSpy started(&journal, &RecordingJournal::fileStarted);
    const QDateTime t0(QDate(2026, 12, 8), QTime(23, 59, 57));

    // Two rows, then the table is emptied: the first file is closed, named as closed.
    journal.append(sample(1, t0));
    journal.append(sample(2, t0.addSecs(1)));
    QCOMPARE(filesIn(folder, "*.open").size(), 1);
    const QString first = journal.currentPath();
    QVERIFY(first.endsWith("recording-20261208-235957-000.csv"));
    journal.startNewFile();
    QVERIFY(journal.currentPath().isEmpty());
    QVERIFY(filesIn(folder, "*.open").isEmpty());
    QCOMPARE(lines(first).size(), 3);
    QCOMPARE(lines(first)[2], QByteArray("2,2026-12-08T23:59:58.000+00:00,1.234,V,1.234,V,Voltage,,,\r"));

    // Midnight starts a file, and so does the row limit.
    journal.append(sample(1, t0.addSecs(2))); // 23:59:59
    journal.append(sample(2, t0.addSecs(3))); // 00:00:00 next day
    for (int i = 3; i <= 6; ++i)
        journal.append(sample(i, t0.addSecs(i + 1)));
    journal.flush();
    QCOMPARE(started.size(), 4);
    QCOMPARE(PortableCsv::summarize(started[1][0].toString()).rows, 1);
    QCOMPARE(PortableCsv::summarize(started[2][0].toString()).rows, 3);
    // The current file is complete up to its last row once flushed, before it is closed.
    const QString openPath = journal.currentPath() + ".open";
    QCOMPARE(PortableCsv::summarize(openPath).rows, 2);
    QCOMPARE(lines(openPath).size(), 3);

    // Switched off: the current file ends, no rows are written.
    s.enabled = false;
    journal.setSettings(s);
    journal.append(sample(7, t0.addSecs(8)));
    QCOMPARE(started.size(), 4);
    QCOMPARE(filesIn(folder, "*.csv").size(), 4);
    QVERIFY(filesIn(folder, "*.open").isEmpty() && filesIn(folder, "*.lock").isEmpty());
}

void TestRecordingJournal::leftOpenFilesAreRecovered() {
    QVERIFY(QDir().mkpath(folder));
    const QByteArray rows = PortableCsv::header() +
                            "1,2026-12-08T10:00:00.000+00:00,1.234,V,1.234,V,Voltage\r\n"
                            "2,2026-12-08T10:00:01.000+00:00,1.235,V,1.235,V,Voltage\r\n";
    // A writer that died in the middle of a row: its lock is left with a process id that no
    // longer runs (QLockFile writes its own; a finished child's id stands for a dead one).
    const QString crashed = folder + "/recording-20261208-100000-000";
    writeFile(crashed + ".csv.open", rows + "3,2026-12-08T10:00:0");
    {
        QProcess child;
        child.start("true");
        QVERIFY(child.waitForStarted(30000));
        const qint64 deadPid = child.processId();
        QVERIFY(child.waitForFinished(30000));
        QByteArray content;
        {
            QLockFile own(crashed + ".csv.lock");
            QVERIFY(own.tryLock(0));
            QFile f(crashed + ".csv.lock");
            QVERIFY(f.open(QIODevice::ReadOnly));
            content = f.readAll();
        }
        content = QByteArray::number(deadPid) + content.mid(content.indexOf('\n'));
        writeFile(crashed + ".csv.lock", content);
    }
    // A file another running instance writes (its lock held in this process).
    const QString live = folder + "/recording-20261208-110000-000";
    writeFile(live + ".csv.open", rows);
    QLockFile liveLock(live + ".csv.lock");
    QVERIFY(liveLock.tryLock(0));

    RecordingJournal journal;
    journal.setSettings(settings());
    const QStringList recovered = journal.recoverLeftOpen();
    QCOMPARE(recovered, QStringList{crashed + "-recovered.csv"});
    QFile file(recovered[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), rows); // the half row is gone, every whole one kept
    QVERIFY(QFile::exists(live + ".csv.open"));
    QVERIFY(!QFile::exists(crashed + ".csv.lock"));
    // Listed newest first, with what they are.
    const auto listed = RecordingJournal::listFiles(folder);
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed[0].state, RecordingJournal::FileEntry::State::Recording);
    QCOMPARE(listed[1].state, RecordingJournal::FileEntry::State::Recovered);
    QCOMPARE(listed[1].summary.rows, 2);
    // Asked again, nothing more is found.
    QVERIFY(journal.recoverLeftOpen().isEmpty());
}

void TestRecordingJournal::boundsRemoveOldestFirstNeverTheCurrent() {
    QVERIFY(QDir().mkpath(folder));
    const QDateTime now = QDateTime::currentDateTime();
    // Five closed files of 1000 bytes, a day apart, the oldest 40 days old.
    for (int i = 0; i < 5; ++i) {
        const QString path = folder + QStringLiteral("/recording-old%1.csv").arg(i);
        writeFile(path, QByteArray(1000, 'x'));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(now.addDays(-40 + 10 * i), QFileDevice::FileModificationTime));
    }
    RecordingJournal journal;
    JournalSettings s = settings();
    s.maxAgeDays = 30;
    s.maxTotalBytes = 2500;
    journal.setSettings(s);
    // The current file: ten rows, about 600 bytes.
    for (int i = 1; i <= 10; ++i)
        journal.append(sample(i, now.addSecs(i)));
    journal.flush();
    journal.prune();
    // old0 (40 days) by age; then by size old1, old2 and old3, oldest first, until the rest
    // and the current file fit.
    QCOMPARE(filesIn(folder, "*.csv"), QStringList{"recording-old4.csv"});
    QCOMPARE(filesIn(folder, "*.open").size(), 1);

    // A limit the current file alone exceeds: every closed file goes, the current one stays
    // whole.
    s.maxTotalBytes = 1;
    journal.setSettings(s);
    journal.prune();
    QVERIFY(filesIn(folder, "*.csv").isEmpty());
    QCOMPARE(PortableCsv::summarize(journal.currentPath() + ".open").rows, 10);
}

void TestRecordingJournal::unwritableFolderIsReportedOnce() {
    // A file where the folder should be: no user, not even root, can create it.
    writeFile(folder, "not a folder");
    RecordingJournal journal;
    journal.setSettings(settings());
    QSignalSpy failed(&journal, &RecordingJournal::writeFailed);
    const QDateTime t0(QDate(2026, 12, 8), QTime(12, 0, 0));
    for (int i = 1; i <= 3; ++i)
        journal.append(sample(i, t0.addSecs(i)));
    journal.startNewFile(); // the table was emptied: it tries again, silently
    journal.append(sample(1, t0.addSecs(10)));
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed[0][0].toString().contains(QDir::toNativeSeparators(folder)),
             qPrintable(failed[0][0].toString()));

    // Fixed: the next file is written, and a later failure is reported again.
    QFile::remove(folder);
    journal.startNewFile();
    journal.append(sample(1, t0.addSecs(20)));
    journal.flush();
    QCOMPARE(PortableCsv::summarize(journal.currentPath() + ".open").rows, 1);
    journal.startNewFile();
    QVERIFY(QDir(folder).removeRecursively());
    writeFile(folder, "not a folder");
    journal.append(sample(1, t0.addSecs(30)));
    QCOMPARE(failed.size(), 2);
}

QTEST_GUILESS_MAIN(TestRecordingJournal)
#include "test_recordingjournal.moc"
