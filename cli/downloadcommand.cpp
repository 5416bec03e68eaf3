#include "commands.h"

#include "metersession.h"
#include "stderrprogress.h"
#include "stopsignals.h"

#include "clock.h"
#include "datafilewriter.h"
#include "downloadarchive.h"
#include "decodeddataset.h"
#include "loadloggerdata.h"
#include "loggerprogress.h"
#include "safefile.h"
#include "stringgridmodel.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace {

QString resultText(const LoggerDownload& d) {
    switch (d.result) {
    case LoggerOutcome::TooShort:
        return QStringLiteral("the meter sent no memory image");
    case LoggerOutcome::Incomplete:
        return QStringLiteral("the memory image arrived incomplete");
    case LoggerOutcome::TooManySets:
        return QStringLiteral("the logger header counts more than 4000 data sets: the memory "
                              "header is damaged");
    case LoggerOutcome::BadDataSet:
        return QStringLiteral("data set %1 is damaged; the %2 set(s) before it are good "
                              "(--repair cuts the meter's header back to them)")
            .arg(d.parse.badSetIndex + 1)
            .arg(d.parse.badSetIndex);
    case LoggerOutcome::NoData:
        return QStringLiteral("the logger memory holds no data set");
    case LoggerOutcome::Loaded:
        return QString();
    case LoggerOutcome::Cancelled:
        return QStringLiteral("interrupted; the meter was told to stop sending");
    case LoggerOutcome::TooManyErrors:
        return QStringLiteral("more than 20 blocks arrived damaged");
    case LoggerOutcome::TimedOut:
        return QStringLiteral("the transfer took too long");
    case LoggerOutcome::PortLost:
        return handOverFailureText(d.result, QStringLiteral("transfer"), d.portError);
    case LoggerOutcome::DeviceBusy:
        return handOverFailureText(d.result, QString());
    case LoggerOutcome::PortNotOpened:
        return QStringLiteral("the port could not be opened for the transfer");
    case LoggerOutcome::NotConnected:
        return QStringLiteral("no meter answers");
    case LoggerOutcome::MeterRecording:
        return QStringLiteral("the meter is recording data; stop its recording first");
    default: // the outcomes of the other logger operations
        break;
    }
    return QStringLiteral("the download failed");
}

// The user's answers after a failed download, given up front on the command line: a transfer
// that went wrong is tried again up to --retries times; a damaged data set is repaired once
// with --repair and otherwise ends the download (another try reads the same memory).
class OptionsUser : public LoadLoggerDataUser {
public:
    OptionsUser(bool repair, int retries) : m_repair(repair), m_retriesLeft(retries) {}

    LoggerErrorChoice downloadFailed(const LoggerDownload& download) override {
        if (StopSignals::requested())
            return LoggerErrorChoice::Cancel;
        if (download.result == LoggerOutcome::BadDataSet) {
            if (!m_repair || m_repaired)
                return LoggerErrorChoice::Cancel;
            tell(resultText(download).section(u'(', 0, 0).trimmed() +
                 QStringLiteral("; repairing the header"));
            m_repaired = true;
            return LoggerErrorChoice::Fixed;
        }
        if (download.result == LoggerOutcome::TooManySets || m_retriesLeft <= 0)
            return LoggerErrorChoice::Cancel;
        --m_retriesLeft;
        tell(resultText(download) + QStringLiteral("; trying again"));
        return LoggerErrorChoice::TryAgain;
    }

    void headerRepaired(bool confirmed) override {
        tell(confirmed ? QStringLiteral("the header now holds the good sets only; switch the "
                                        "meter off and on before it records again")
                       : QStringLiteral("the meter did not confirm the header repair"));
    }

private:
    bool m_repair;
    int m_retriesLeft;
    bool m_repaired = false;
};

// The download's progress on standard error (StderrProgress decides whether); SIGINT and
// SIGTERM cancel.
class DownloadProgress : public LoggerProgress {
public:
    explicit DownloadProgress(StderrProgress& progress) : m_progress(progress) {}
    void transferStarting() override { m_progress.step(QStringLiteral("reading the memory header")); }
    void totalKnown(int expectedTotal, int) override { m_total = expectedTotal; }
    void bytesReceived(int received) override {
        if (m_total > 0)
            m_progress.show(QStringLiteral("%1 of %2 bytes").arg(received).arg(m_total),
                            int(qint64(received) * 100 / m_total));
    }
    bool cancelled() override { return StopSignals::requested(); }

private:
    StderrProgress& m_progress;
    int m_total = 0;
};

// Why the targets of a download cannot be written, before the meter is asked for a byte: a
// transfer takes minutes, and its image would be lost with the target. Empty when they can.
QString targetProblem(const CliOptions& options) {
    if (!options.rawFile.isEmpty()) {
        if (const QString why = SafeFile::targetProblem(options.rawFile); !why.isEmpty())
            return QStringLiteral("cannot write %1: %2").arg(options.rawFile, why);
        return {};
    }
    const QString folder = options.outDir.isEmpty() ? QStringLiteral(".") : options.outDir;
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("cannot write into %1: it is not a folder").arg(folder);
    // A folder still to be made must be makeable: its nearest existing parent writable.
    QFileInfo existing(info.absoluteFilePath());
    while (!existing.exists() && existing.absoluteFilePath() != existing.absolutePath())
        existing = QFileInfo(existing.absolutePath());
    if (!existing.isDir())
        return QStringLiteral("cannot write into %1: %2 is not a folder")
            .arg(folder, existing.absoluteFilePath());
    if (!existing.isWritable())
        return QStringLiteral("cannot write into %1: %2 cannot be written (permission denied)")
            .arg(folder, existing.absoluteFilePath());
    return {};
}

// The rows of one data set as the data-logger window's record table holds them: row 0 the
// captions, column 0 the record number, then date, time, value and unit.
void fillGrid(StringGridModel& grid, const DecodedDataSet& set) {
    grid.setColCount(5);
    grid.setRowCount(set.count() + 1);
    grid.setFixedRows(1);
    grid.setFixedCols(1);
    grid.setRow(0, {QStringLiteral("NO"), QStringLiteral("DATE"), QStringLiteral("TIME"),
                    QStringLiteral("VALUE"), QStringLiteral("RANGE")});
    for (int i = 0; i < set.count(); ++i)
        grid.setRow(i + 1, set.rows[i]);
}

ExitCode writeSets(const LoggerDownload& d, const CliOptions& options) {
    const QString folder = options.outDir.isEmpty() ? QStringLiteral(".") : options.outDir;
    if (!QDir().mkpath(folder)) {
        tell(QStringLiteral("cannot create the folder %1").arg(folder));
        return ExitCode::FileError;
    }
    const bool csv = options.format == CliOptions::Format::Csv;
    // csv is the portable format; the design's own CSV columns with --legacy-columns.
    const bool portable = csv && !options.legacyColumns;
    const QString suffix = csv ? QStringLiteral("csv") : QStringLiteral("txt");
    qint64 records = 0;
    for (int i = 0; i < d.parse.sets.size(); ++i) {
        const DecodedDataSet set = decodeDataSet(d.image, d.parse.sets[i]);
        const QString path = QDir(folder).filePath(
            QStringLiteral("set%1.%2").arg(i + 1, 3, 10, QChar(u'0')).arg(suffix));
        if (portable) {
            QBuffer bytes;
            bytes.open(QIODevice::WriteOnly);
            DownloadArchive::writePortableSet(bytes, set, d.parse.sets[i]);
            QString error;
            if (!SafeFile::writeAll(path, bytes.data(), &error)) {
                tell(QStringLiteral("cannot write %1: %2").arg(path, error));
                return ExitCode::FileError;
            }
            records += set.count();
            continue;
        }
        StringGridModel grid;
        fillGrid(grid, set);
        const auto saved =
            DataFileWriter::save(path, grid, DataFileWriter::allRows(grid.gridRowCount()));
        if (!saved.saved()) {
            tell(QStringLiteral("cannot write %1: %2").arg(path, saved.error));
            return ExitCode::FileError;
        }
        records += saved.rows;
    }
    tell(QStringLiteral("%1 data set(s), %2 record(s) written to %3")
             .arg(d.parse.sets.size())
             .arg(records)
             .arg(QDir::toNativeSeparators(folder)));
    return ExitCode::Ok;
}

} // namespace

ExitCode runDownload(const CliOptions& options) {
    if (const QString problem = targetProblem(options); !problem.isEmpty()) {
        tell(problem);
        return ExitCode::FileError;
    }
    StopSignals stop;
    OptionsUser user(options.repair, options.retries);
    LoggerDownload d;
    StderrProgress shown(options.progress, QStringLiteral("download"));
    QString portFault;
    if (const ExitCode code = withLoggerPort(
            options, QStringLiteral("the meter is recording data; stop its recording first"),
            shown, [&](LiveLinkControl& live, MeterPort& port) {
                DownloadProgress progress(shown);
                d = loadLoggerData(live, port, &progress, user,
                                   dateTimeToDays(QDateTime::currentDateTime()));
            },
            &portFault);
        code != ExitCode::Ok)
        return code;
    if (d.portError.isEmpty())
        d.portError = portFault;

    const bool wholeImage =
        d.result == LoggerOutcome::Loaded || d.result == LoggerOutcome::NoData ||
        d.result == LoggerOutcome::BadDataSet || d.result == LoggerOutcome::TooManySets;
    if (!options.rawFile.isEmpty() && wholeImage) {
        // The raw image is what the meter holds, damaged or not: it is what a repair by hand
        // starts from.
        QString error;
        if (!SafeFile::writeAll(options.rawFile, d.image.bytes(), &error)) {
            tell(QStringLiteral("cannot write %1: %2").arg(options.rawFile, error));
            return ExitCode::FileError;
        }
        if (d.result != LoggerOutcome::Loaded)
            tell(resultText(d));
        return ExitCode::Ok;
    }
    shown.finishLine();
    if (d.result == LoggerOutcome::Loaded)
        return writeSets(d, options);
    tell(resultText(d));
    return exitCodeFor(d.result);
}
