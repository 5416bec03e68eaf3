#pragma once

#include "portablecsv.h"

#include <QFile>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QLockFile;
class Recorder;
struct RecorderSample;

// Where the journal writes and how much it keeps.
struct JournalSettings {
    bool enabled = true;
    QString folder; // the recordings folder; created when the first file is
    int maxAgeDays = 30;
    qint64 maxTotalBytes = qint64(1) << 30;
    // A file holds at most this many rows; the next row starts a new one.
    qint64 maxRowsPerFile = 1000000;
};

// The recorder's journal: every sample the recorder takes goes, as it is taken, into a file of
// the recordings folder in the portable format (portablecsv.h), so that nothing the user
// measured is lost when the table is emptied (Clear, a change of function, the recorder
// window closed and opened again), when the program ends without saving, or when it crashes.
//
// Contract: the owner of both the recorder and the journal (the main window) calls
// follow(recorder) once; the journal then appends every sampleTaken and starts a new file on
// every cleared and functionChanged, the moments the recorder's table is emptied. Nothing is
// ever deleted but by the bounds below. The journal only reads the samples it is handed.
//
// Files: "recording-YYYYMMDD-HHMMSS-mmm.csv", named after their first sample's local time. A
// file being written is named "<name>.csv.open" and its writer holds the lock file
// "<name>.csv.lock" (QLockFile: the lock of a process that no longer runs is stale); closing it
// cleanly renames it to "<name>.csv". A ".open" file whose lock is stale was left by a run that
// ended without closing it (a crash, a power loss): recoverLeftOpen() cuts a half-written last
// line, names it "<name>-recovered.csv" and reports it. A file also ends after
// maxRowsPerFile rows and at local midnight (the next sample starts a new one).
//
// Durability and cost: rows are collected in memory and written at the latest half a second
// after the first unwritten one (or once 256 KiB are waiting), so a crash costs at most the
// last second and a fast recording costs one write a half second, not one per sample.
//
// Failures never stop the recorder: a file that cannot be created or written is reported once
// (writeFailed) and the journal stays off until the next file is due (the next emptying of the
// table); a further failure is not reported again until a file was written successfully.
//
// Bounds: when a file ends and at start-up (prune()), closed files older than maxAgeDays (by
// their last write) are removed, then the oldest until all files together are within
// maxTotalBytes. The file being written, and the open files of other running instances,
// are never removed.
class RecordingJournal : public QObject {
    Q_OBJECT
public:
    explicit RecordingJournal(QObject* parent = nullptr);
    // Ends the current file cleanly.
    ~RecordingJournal() override;

    // The folder the program keeps its recordings in: $QL350_DATA_DIR/recordings when that
    // is set (tests, a portable install), else the application data folder's "recordings".
    static QString defaultFolder();

    // Takes effect at once: switching it off ends the current file; another folder starts a
    // new one.
    void setSettings(const JournalSettings& settings);
    const JournalSettings& settings() const { return m_settings; }

    void follow(const Recorder& recorder);

    // ---- what follow() connects ----------------------------------------------------------
    void append(const RecorderSample& sample);
    // The current file ends; the next sample starts a new one.
    void startNewFile();

    // Writes what is waiting now.
    void flush();
    // Looks for files left open by a run that did not end cleanly; returns the paths they
    // have now.
    QStringList recoverLeftOpen();
    // Applies the bounds now.
    void prune();

    // The path the current file will have once it is closed; empty while none is open.
    QString currentPath() const;
    qint64 currentRows() const { return m_rows; }

    // A journal file as a list of them shows it.
    struct FileEntry {
        QString path;
        PortableCsv::Summary summary;
        enum class State { Closed, Recording, Recovered } state = State::Closed;
    };
    // The journal files of a folder (files in the portable format only), newest first: by
    // their first row's time, a file without rows by its last write.
    static QList<FileEntry> listFiles(const QString& folder);

    static QString closedSuffix() { return QStringLiteral(".csv"); }
    static QString openSuffix() { return QStringLiteral(".csv.open"); }
    static QString recoveredSuffix() { return QStringLiteral("-recovered.csv"); }

Q_SIGNALS:
    // A new file was started; `path` is the name it keeps once closed.
    void fileStarted(const QString& path);
    // A file could not be created or written (once; see above).
    void writeFailed(const QString& message);

private:
    bool openFile(double when);
    void closeFile();
    void fail(const QString& message);

    JournalSettings m_settings;
    PortableCsv m_format;
    QFile m_file;
    std::unique_ptr<QLockFile> m_lock;
    QString m_base; // the current file's path without its suffix
    QByteArray m_pending;
    QTimer m_flushTimer;
    qint64 m_rows = 0;
    qint64 m_day = 0;          // the local day (day count) of the current file
    bool m_suspended = false;  // a failure ended the current file: no rows until the next
    bool m_reported = false;   // a failure was reported and no file was written since
};
