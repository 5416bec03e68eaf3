// Saving and opening a data file of a million recorder rows: what a user waits for behind the
// progress window after a long recording (a million one-second samples is eleven and a half
// days). The table is built first and not timed; then it is saved as TXT and as CSV and each
// file is read back into a fresh list table. A progress object that never cancels is passed,
// as the windows do, so the per-row call is in the figures.
//
// Each step is timed twice: the CPU time of this thread (what the step costs; the machine may
// be shared) and the wall time (which includes writing to the disk). The file is written to
// the temporary folder; the page cache usually holds it when it is read back, so the open
// figure is the parser's cost, not the disk's.
#include "datafileprogress.h"
#include "datafilereader.h"
#include "datafilewriter.h"
#include "stringgridmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTime>

#include <time.h>

#include <cstdio>

namespace {

constexpr int kRows = 1000000;

qint64 threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct CountOnly : DataFileProgress {
    bool advance(qint64 done) override {
        last = done;
        return true;
    }
    qint64 last = 0;
};

void layOut(StringGridModel& grid, int rows) {
    grid.setColCount(6);
    grid.setRowCount(rows);
    grid.setFixedRows(1);
    grid.setRow(0, {"NO", "Date", "Time", "Value", "Range"});
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QLocale locale;

    StringGridModel recorder;
    layOut(recorder, kRows + 1);
    const QString date = locale.toString(QDate(2026, 12, 8), QStringLiteral("dd.MM.yyyy"));
    for (int n = 1; n <= kRows; ++n) {
        const QTime t = QTime(0, 0).addSecs(n % 86400);
        recorder.setRow(n,
                        {QString::number(n), date, t.toString(QStringLiteral("HH:mm:ss")),
                         locale.toString(100 + (n % 3000) / 10.0, 'f', 1), QStringLiteral("mV")});
    }

    QTemporaryDir dir;
    int status = 0;
    for (const char* name : {"bench.txt", "bench.csv"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        CountOnly progress;
        QElapsedTimer wall;
        wall.start();
        qint64 cpu = threadCpuNs();
        const auto saved =
            DataFileWriter::save(path, recorder, DataFileWriter::allRows(kRows + 1), &progress);
        cpu = threadCpuNs() - cpu;
        const qint64 saveWall = wall.elapsed();
        if (!saved.saved() || saved.rows != kRows) {
            std::fprintf(stderr, "bench_datafile: save failed: %s\n", qPrintable(saved.error));
            return 1;
        }
        std::printf("data file save, %d rows, %s (%.1f MB): %.0f ms CPU, %lld ms wall\n", kRows,
                    name + 6, double(QFileInfo(path).size()) / 1e6, double(cpu) / 1e6, saveWall);

        StringGridModel list;
        layOut(list, 2);
        wall.restart();
        cpu = threadCpuNs();
        const auto read = DataFileReader::read(path, list, &progress);
        cpu = threadCpuNs() - cpu;
        const qint64 openWall = wall.elapsed();
        if (read.rows != kRows || list.cells(4, kRows) != recorder.cells(4, kRows)) {
            std::fprintf(stderr, "bench_datafile: open read %d rows\n", read.rows);
            status = 1;
        }
        std::printf("data file open, %d rows, %s: %.0f ms CPU, %lld ms wall\n", kRows, name + 6,
                    double(cpu) / 1e6, openWall);
    }
    return status;
}
