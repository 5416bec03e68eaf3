#include "recordingjournal.h"

#include "daycount.h"
#include "recorder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace {

// Rows wait at most this long in memory.
constexpr int kFlushDelayMs = 500;
// ... or until this many bytes wait.
constexpr qsizetype kFlushBytes = 256 * 1024;
// A half-written last line is looked for in this many bytes at the end of a left-open file.
constexpr qint64 kTailBytes = 64 * 1024;

QString lockPathFor(const QString& base) {
    return base + QStringLiteral(".csv.lock");
}

std::unique_ptr<QLockFile> lockFor(const QString& base) {
    auto lock = std::make_unique<QLockFile>(lockPathFor(base));
    // A lock is stale only when its process is gone, however old it is: a recording may run
    // for weeks.
    lock->setStaleLockTime(0);
    return lock;
}

// Cuts a last line that has no line end: a crash in the middle of a write.
bool cutHalfLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 size = file.size();
    const qint64 from = std::max<qint64>(0, size - kTailBytes);
    file.seek(from);
    const QByteArray tail = file.readAll();
    if (tail.isEmpty() || tail.endsWith('\n'))
        return true;
    const qsizetype lastEnd = tail.lastIndexOf('\n');
    return file.resize(lastEnd < 0 ? from : from + lastEnd + 1);
}

} // namespace

RecordingJournal::RecordingJournal(QObject* parent) : QObject(parent) {
    m_settings.folder = defaultFolder();
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_flushTimer, &QTimer::timeout, this, &RecordingJournal::flush);
}

RecordingJournal::~RecordingJournal() {
    closeFile();
}

QString RecordingJournal::defaultFolder() {
    const QString dataDir = qEnvironmentVariable("QL350_DATA_DIR");
    const QString root = dataDir.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                             : dataDir;
    return QDir(root).filePath(QStringLiteral("recordings"));
}

void RecordingJournal::setSettings(const JournalSettings& settings) {
    const bool restart = settings.folder != m_settings.folder || !settings.enabled;
    m_settings = settings;
    if (restart)
        startNewFile();
}

void RecordingJournal::follow(const Recorder& recorder) {
    connect(&recorder, &Recorder::sampleTaken, this, &RecordingJournal::append);
    connect(&recorder, &Recorder::cleared, this, &RecordingJournal::startNewFile);
    connect(&recorder, &Recorder::functionChanged, this, &RecordingJournal::startNewFile);
}

QString RecordingJournal::currentPath() const {
    return m_file.isOpen() ? m_base + closedSuffix() : QString();
}

void RecordingJournal::append(const RecorderSample& sample) {
    if (!m_settings.enabled || m_suspended)
        return;
    const qint64 day = qint64(std::floor(sample.when));
    if (m_file.isOpen() && (m_rows >= m_settings.maxRowsPerFile || day != m_day))
        closeFile();
    if (!m_file.isOpen() && !openFile(sample.when))
        return;
    PortableCsv::Reading row;
    row.row = ++m_rows;
    row.when = sample.when;
    row.shownValue = sample.valueText;
    row.value = sample.value;
    row.unit = sample.unitText;
    row.function = sample.function;
    // A sample taken beyond a limit says so among its flags.
    QStringList flags;
    if (sample.overload)
        flags << QStringLiteral("overload");
    if (!sample.limit.isEmpty())
        flags << QStringLiteral("limit-") + sample.limit;
    row.flags = flags.join(u' ');
    m_format.appendRow(m_pending, row);
    if (m_pending.size() >= kFlushBytes)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start(kFlushDelayMs);
}

void RecordingJournal::startNewFile() {
    closeFile();
    m_suspended = false;
}

bool RecordingJournal::openFile(double when) {
    QDir folder(m_settings.folder);
    if (!folder.mkpath(QStringLiteral("."))) {
        fail(QStringLiteral("The recording journal cannot create the folder %1; recording goes "
                            "on without it.")
                 .arg(QDir::toNativeSeparators(m_settings.folder)));
        return false;
    }
    const QDateTime first = daysToDateTime(when);
    const QString stem = QStringLiteral("recording-") +
                         first.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString base = folder.filePath(stem);
    for (int n = 2; QFileInfo::exists(base + closedSuffix()) ||
                    QFileInfo::exists(base + openSuffix()) ||
                    QFileInfo::exists(base + recoveredSuffix()) ||
                    QFileInfo::exists(lockPathFor(base));
         ++n)
        base = folder.filePath(stem + QStringLiteral("-%1").arg(n));

    auto lock = lockFor(base);
    m_file.setFileName(base + openSuffix());
    if (!lock->tryLock(0) || !m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const QString why = m_file.error() != QFileDevice::NoError ? m_file.errorString()
                                                                   : QStringLiteral("locked");
        fail(QStringLiteral("The recording journal cannot create %1 (%2); recording goes on "
                            "without it.")
                 .arg(QDir::toNativeSeparators(m_file.fileName()), why));
        return false;
    }
    m_lock = std::move(lock);
    m_base = base;
    m_rows = 0;
    m_day = qint64(std::floor(when));
    m_pending = PortableCsv::header();
    Q_EMIT fileStarted(currentPath());
    return true;
}

void RecordingJournal::flush() {
    m_flushTimer.stop();
    if (!m_file.isOpen() || m_pending.isEmpty())
        return;
    const qint64 written = m_file.write(m_pending);
    if (written != m_pending.size() || !m_file.flush()) {
        fail(QStringLiteral("The recording journal could not write %1 (%2); recording goes on "
                            "without it until the table is next emptied.")
                 .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString()));
        return;
    }
    m_pending.clear();
    m_reported = false;
}

void RecordingJournal::closeFile() {
    if (!m_file.isOpen())
        return;
    flush();
    if (!m_file.isOpen())
        return; // the flush failed and closed it
    m_file.close();
    // The rename is the clean end: a file still named ".open" is one a crash left behind.
    QFile::rename(m_base + openSuffix(), m_base + closedSuffix());
    m_lock.reset();
    m_pending.clear();
    prune();
}

void RecordingJournal::fail(const QString& message) {
    m_flushTimer.stop();
    m_pending.clear();
    if (m_file.isOpen()) {
        m_file.close();
        // What reached the file stays, as a file closed after a crash would.
        cutHalfLine(m_base + openSuffix());
        QFile::rename(m_base + openSuffix(), m_base + closedSuffix());
    }
    m_lock.reset();
    m_suspended = true;
    if (m_reported)
        return;
    m_reported = true;
    Q_EMIT writeFailed(message);
}

QStringList RecordingJournal::recoverLeftOpen() {
    QStringList recovered;
    const QDir folder(m_settings.folder);
    const QString ownOpen = m_file.isOpen() ? m_file.fileName() : QString();
    const QStringList open =
        folder.entryList({QStringLiteral("*") + openSuffix()}, QDir::Files, QDir::Name);
    for (const QString& name : open) {
        const QString path = folder.filePath(name);
        if (path == ownOpen)
            continue;
        const QString base = path.chopped(openSuffix().size());
        auto lock = lockFor(base);
        if (!lock->tryLock(0))
            continue; // another running instance writes it
        QString target = base + recoveredSuffix();
        for (int n = 2; QFileInfo::exists(target); ++n)
            target = base + QStringLiteral("-%1").arg(n) + recoveredSuffix();
        if (cutHalfLine(path) && QFile::rename(path, target))
            recovered << target;
    }
    return recovered;
}

void RecordingJournal::prune() {
    const QDir folder(m_settings.folder);
    if (!folder.exists())
        return;
    // Every file of the folder counts towards the total; only closed ones may go.
    QFileInfoList closed;
    qint64 total = 0;
    const QFileInfoList all = folder.entryInfoList(
        {QStringLiteral("*") + closedSuffix(), QStringLiteral("*") + openSuffix()}, QDir::Files);
    for (const QFileInfo& info : all) {
        total += info.size();
        if (info.fileName().endsWith(closedSuffix()))
            closed << info;
    }
    if (m_file.isOpen())
        total += m_pending.size();
    std::sort(closed.begin(), closed.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime ta = a.lastModified(), tb = b.lastModified();
        return ta != tb ? ta < tb : a.fileName() < b.fileName();
    });
    const QDateTime oldest = QDateTime::currentDateTime().addDays(-m_settings.maxAgeDays);
    for (const QFileInfo& info : std::as_const(closed)) {
        const bool tooOld = info.lastModified() < oldest;
        if (!tooOld && total <= m_settings.maxTotalBytes)
            break;
        if (QFile::remove(info.filePath()))
            total -= info.size();
    }
}

QList<RecordingJournal::FileEntry> RecordingJournal::listFiles(const QString& folder) {
    QList<FileEntry> entries;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*") + closedSuffix(),
                                    QStringLiteral("*") + openSuffix()},
                                   QDir::Files);
    for (const QFileInfo& info : files) {
        FileEntry e;
        e.path = info.filePath();
        e.summary = PortableCsv::summarize(e.path);
        if (!e.summary.valid)
            continue; // not a journal
        if (e.path.endsWith(openSuffix()))
            e.state = FileEntry::State::Recording;
        else if (e.path.endsWith(recoveredSuffix()))
            e.state = FileEntry::State::Recovered;
        entries << e;
    }
    const auto started = [](const FileEntry& e) {
        return e.summary.start ? *e.summary.start : QFileInfo(e.path).lastModified();
    };
    std::stable_sort(entries.begin(), entries.end(), [&](const FileEntry& a, const FileEntry& b) {
        const QDateTime ta = started(a), tb = started(b);
        return ta != tb ? ta > tb : a.path > b.path;
    });
    return entries;
}
