// Data files: what a save writes, byte for byte, and what an open makes of it and of files
// that were not written by a save.

#include "datafileprogress.h"
#include "datafilereader.h"
#include "datafilewriter.h"
#include "datetimetext.h"
#include "stringgridmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A list window's table as it is laid out before a file is read into it.
void layOutList(StringGridModel& grid) {
    grid.setColCount(6);
    grid.setRowCount(2);
    grid.setFixedRows(1);
    grid.setRow(0, {"NO", "Date", "Time", "Value", "Range"});
}

// Stops the work at row `stopAt` (never when 0).
struct StopAt : DataFileProgress {
    explicit StopAt(qint64 row) : stopAt(row) {}
    void begin(qint64 t) override { total = t; }
    bool advance(qint64 done) override { return stopAt == 0 || done < stopAt; }
    qint64 stopAt;
    qint64 total = -2;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Rows 1.. of a table as "number|field|field|...".
QStringList rowsOf(const StringGridModel& grid) {
    QStringList rows;
    for (int r = 1; r < grid.gridRowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid.gridColCount(); ++c)
            cells << grid.cells(c, r);
        rows << cells.join(u'|');
    }
    return rows;
}

} // namespace

class TestDataFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void roundTrip_data();
    void roundTrip();
    void filesNotFromASave_data();
    void filesNotFromASave();
    void failedAndCancelled();
    void anyTextRoundTrips();

private:
    QTemporaryDir m_dir;
};

void TestDataFile::roundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");
    // A value with a decimal comma is quoted in a CSV file, where the comma separates.
    const QByteArray tab = "08.12.2026\t14:03:07\t1,234\tV\t\t\r\n"
                           "08.12.2026\t14:03:09\tOL\tV\t\t\r\n"
                           "\t\t\t\t\t\r\n"
                           "09.12.2026\t00:00:01\t-OL\tmV\t\t\r\n";
    const QByteArray csv = "08.12.2026,14:03:07,\"1,234\",V,,\r\n"
                           "08.12.2026,14:03:09,OL,V,,\r\n"
                           ",,,,,\r\n"
                           "09.12.2026,00:00:01,-OL,mV,,\r\n";
    QTest::newRow("txt") << "data.txt" << tab;
    QTest::newRow("CSV in capitals") << "DATA.CSV" << csv;
    QTest::newRow("csv without a dot") << "datacsv" << csv;
    QTest::newRow("csv before the extension") << "data.csv.txt" << tab;
}

// A recorder table saved whole and in part, then opened in a list window.
void TestDataFile::roundTrip() {
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    StringGridModel recorder;
    recorder.setColCount(6);
    recorder.setRowCount(5);
    recorder.setRow(0, {"", "Date", "Time", "Value", "Range"});
    const QDate day(2026, 12, 8);
    const QString value = QLocale().toString(1.234, 'f', 3);
    recorder.setRow(
        1, {"1", DateTimeText::dateString(day), DateTimeText::timeString({14, 3, 7}), value, "V"});
    recorder.setRow(
        2, {"2", DateTimeText::dateString(day), DateTimeText::timeString({14, 3, 9}), "OL", "V"});
    recorder.setRow(4, {"4", DateTimeText::dateString(day.addDays(1)),
                        DateTimeText::timeString({0, 0, 1}), "-OL", "mV"});

    const QString path = m_dir.filePath(name);
    StopAt never(0);
    const auto saved =
        DataFileWriter::save(path, recorder, DataFileWriter::allRows(recorder.gridRowCount()), &never);
    QVERIFY2(saved.saved(), qPrintable(saved.error));
    QCOMPARE(saved.rows, 4);
    QCOMPARE(never.total, 4);
    QCOMPARE(readAll(path), expected);

    StringGridModel list;
    layOutList(list);
    const auto read = DataFileReader::read(path, list);
    QCOMPARE(read.status, DataFileReader::Result::Status::Read);
    QCOMPARE(read.rows, 4);
    QVERIFY(read.notice.isEmpty());
    QCOMPARE(list.gridRowCount(), 5);
    QCOMPARE(list.cells(1, 0), "Date");
    for (int r = 1; r <= 4; ++r) {
        QCOMPARE(list.cells(0, r), QString::number(r));
        for (int c = 1; c <= 5; ++c)
            QCOMPARE(list.cells(c, r), recorder.cells(c, r));
    }

    // The range dialog's rows -3 to 2 are rows 2 to 3: the middle two lines.
    const auto range = DataFileWriter::rangeFromTexts("-3", "2", recorder.gridRowCount() - 1);
    QVERIFY(range);
    QVERIFY(DataFileWriter::save(path, recorder, *range).saved());
    const QList<QByteArray> lines = expected.split('\n');
    QCOMPARE(readAll(path), lines[1] + '\n' + lines[2] + '\n');
    // Rows 50 to 60 of 4: the file is made, empty. Letters: nothing to save.
    const auto beyond = DataFileWriter::rangeFromTexts("50", "60", recorder.gridRowCount() - 1);
    QVERIFY(beyond && beyond->count() == 0);
    QVERIFY(DataFileWriter::save(path, recorder, *beyond).saved());
    QCOMPARE(readAll(path), QByteArray());
    QVERIFY(!DataFileWriter::rangeFromTexts("1", "x2", recorder.gridRowCount() - 1));
}

void TestDataFile::filesNotFromASave_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("firstSkipped");
    QTest::addColumn<int>("cut");
    const QString empty = "|||||"; // the list window's own empty row
    QTest::newRow("empty file") << "a.txt" << QByteArray() << QStringList{empty} << 0 << 0 << 0;
    QTest::newRow("TABs in a .csv")
        << "a.csv" << QByteArray("a\tb\t\r\nc\td\t\r\n") << QStringList{empty} << 2 << 1 << 0;
    // A stray line does not lose the rows after it; empty lines give no row.
    QTest::newRow("empty and stray lines")
        << "a.txt" << QByteArray("a\tb\t\r\nc\t\r\n\r\nnote\r\ne\t\r\n\r\n")
        << QStringList{"1|a|b|||", "2|c||||", "3|e||||"} << 1 << 4 << 0;
    QTest::newRow("LF, last separator and line end missing")
        << "a.txt" << QByteArray("a\tb\nx\ty") << QStringList{"1|a|b|||", "2|x|y|||"} << 0 << 0
        << 0;
    QTest::newRow("data logger line")
        << "a.txt" << QByteArray("d\tt\tv\tu\t\t\t\t\t\r\nd\tt\tv\tu\t\t\tnote\t\t\r\n")
        << QStringList{"1|d|t|v|u|", "2|d|t|v|u|"} << 0 << 0 << 1;
    // A line beyond the limit is cut there and ends the reading.
    QTest::newRow("overlong line") << "a.txt"
                                   << "a\t\r\n" + QByteArray(100000, '\0') + "\t\r\nb\t\r\n"
                                   << QStringList{"1|a||||"} << 0 << 0 << 0;
    // Lines that end in a lone CR are lines, not one long row with the rest hidden in it.
    QTest::newRow("CR-only line ends")
        << "a.txt" << QByteArray("a\tb\t\rc\td\t\r\r\rnote\re\t")
        << QStringList{"1|a|b|||", "2|c|d|||", "3|e||||"} << 1 << 5 << 0;
    QTest::newRow("CR-only, quoted fields")
        << "a.csv" << QByteArray("\"x,y\",1,\r\"z\",2\r")
        << QStringList{"1|x,y|1|||", "2|z|2|||"} << 0 << 0 << 0;
    QTest::newRow("CR-only journal")
        << "a.csv"
        << QByteArray("row,time,value,unit,si_value,si_unit,function\r"
                      "1,2026-12-08T14:03:07.000+00:00,1.5,V,1.5,V,DCV\r"
                      "2,2026-12-08T14:03:08.000+00:00,1.6,V,1.6,V,DCV\r")
        << QStringList{} << 0 << 0 << 0;
    QTest::newRow("quotes") << "a.csv"
                            << QByteArray("\"say \"\"hi\"\"\",\"two\nlines\",\"open,\"x\"y,\r\n")
                            << QStringList{"1|say \"hi\"|two\nlines|\"open|\"x\"y|"} << 0 << 0 << 0;
}

void TestDataFile::filesNotFromASave() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QFETCH(int, skipped);
    QFETCH(int, firstSkipped);
    QFETCH(int, cut);
    const QString path = m_dir.filePath(name);
    writeFile(path, bytes);
    StringGridModel list;
    layOutList(list);
    const auto read = DataFileReader::read(path, list);
    QCOMPARE(read.status, DataFileReader::Result::Status::Read);
    if (rows.isEmpty()) // a journal: its rows in local time, two of them with their values
        QVERIFY2(list.gridRowCount() == 3 && list.cells(3, 1) == "1.5" && list.cells(3, 2) == "1.6",
                 qPrintable(rowsOf(list).join(u'/')));
    else
        QCOMPARE(rowsOf(list), rows);
    QCOMPARE(read.skippedLines, skipped);
    QCOMPARE(read.firstSkippedLine, firstSkipped);
    QCOMPARE(read.cutLines, cut);
    QCOMPARE(read.notice.isEmpty(), skipped == 0 && cut == 0 && read.longLine == 0);
}

// A save that fails or is cancelled leaves what was there; an open keeps the rows it placed.
void TestDataFile::failedAndCancelled() {
    StringGridModel table;
    layOutList(table);
    table.setRowCount(4);
    for (int r = 1; r <= 3; ++r)
        table.setRow(r, {QString::number(r), "d", "t", QString::number(r), "V"});

    QTemporaryDir dir;
    const QString path = dir.filePath("kept.txt");
    writeFile(path, "old\r\n");
    StopAt second(2);
    const auto cancelled = DataFileWriter::save(path, table, {1, 3}, &second);
    QCOMPARE(cancelled.status, DataFileWriter::Result::Status::Cancelled);
    QCOMPARE(readAll(path), "old\r\n");
    const QString missing = dir.filePath("no/such/folder/a.txt");
    const auto failed = DataFileWriter::save(missing, table, {1, 3});
    QCOMPARE(failed.status, DataFileWriter::Result::Status::Failed);
    QVERIFY2(failed.error.contains(QDir::toNativeSeparators(missing)), qPrintable(failed.error));
    QVERIFY(!QFile::exists(missing));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.txt"});

    QFile full("/dev/full");
    if (full.open(QIODevice::WriteOnly)) {
        const auto noSpace = DataFileWriter::write(full, '\t', table, {1, 3});
        QCOMPARE(noSpace.status, DataFileWriter::Result::Status::Failed);
        QVERIFY2(noSpace.error.contains("space"), qPrintable(noSpace.error));
    }

    QVERIFY(DataFileWriter::save(path, table, {1, 3}).saved());
    StringGridModel list;
    layOutList(list);
    StopAt third(3);
    const auto stopped = DataFileReader::read(path, list, &third);
    QCOMPARE(stopped.status, DataFileReader::Result::Status::Cancelled);
    QCOMPARE(third.total, -1);
    QCOMPARE(rowsOf(list), (QStringList{"1|d|t|1|V|", "2|d|t|2|V|"}));
    const auto gone = DataFileReader::read(dir.filePath("gone.txt"), list);
    QCOMPARE(gone.status, DataFileReader::Result::Status::Failed);
    QVERIFY(!gone.error.isEmpty());
}

// Texts made of separators, quotes, line ends and plain letters come back as they were saved,
// over more than one block of the file.
void TestDataFile::anyTextRoundTrips() {
    const QString alphabet = QString::fromUtf8("a,\t\"\n\r\u00e9 ");
    QRandomGenerator rng(350);
    StringGridModel table;
    layOutList(table);
    const int rows = 40000;
    table.setRowCount(rows + 1);
    for (int r = 1; r <= rows; ++r) {
        QStringList cells{QString::number(r)};
        for (int c = 1; c <= 5; ++c) {
            cells << QString();
            for (int i = int(rng.bounded(12)); i > 0; --i)
                cells.back() += alphabet[int(rng.bounded(alphabet.size()))];
        }
        table.setRow(r, cells);
    }
    for (const QString name : {"any.txt", "any.csv"}) {
        const QString path = m_dir.filePath(name);
        QVERIFY(DataFileWriter::save(path, table, {1, rows}).saved());
        QVERIFY(QFileInfo(path).size() > (1 << 20));
        StringGridModel list;
        layOutList(list);
        QCOMPARE(DataFileReader::read(path, list).rows, rows);
        QCOMPARE(rowsOf(list), rowsOf(table));
    }
}

QTEST_GUILESS_MAIN(TestDataFile)
#include "test_datafile.moc"
