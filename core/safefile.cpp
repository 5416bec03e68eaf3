#include "safefile.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

// What the writer writes to: every byte goes straight on to the temporary file, and a write
// the system takes only in part is carried on until it is complete or refused. QFileDevice
// reports a refusal that follows a partial write (a disk that fills up in the middle of a
// block) as "Unknown error"; carried on, the next write fails alone and brings the system's
// reason ("No space left on device").
class SafeFile::Sink : public QIODevice {
public:
    explicit Sink(QSaveFile& file) : m_file(file) { open(QIODevice::WriteOnly); }
    QString failure;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (!failure.isEmpty())
            return -1;
        qint64 done = 0;
        while (done < size) {
            const qint64 n = m_file.write(data + done, size - done);
            if (n <= 0) {
                failure = m_file.errorString();
                setErrorString(failure);
                return -1;
            }
            done += n;
        }
        return size;
    }

private:
    QSaveFile& m_file;
};

SafeFile::SafeFile(const QString& path)
    : m_path(path), m_file(path), m_sink(std::make_unique<Sink>(m_file)) {
    // Never fall back to writing over the target in place: that is what leaves half a file.
    m_file.setDirectWriteFallback(false);
}

SafeFile::~SafeFile() {
    discard();
}

QIODevice& SafeFile::device() {
    return *m_sink;
}

QString SafeFile::notAFile(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("it is a folder");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("it is a device, not a file");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("it is a pipe (FIFO), not a file");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is not a regular file");
}

QString SafeFile::targetProblem(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("no file name was given");
    if (QString kind = notAFile(path); !kind.isEmpty())
        return kind;
    const QFileInfo folder(QFileInfo(QFileInfo(path).absoluteFilePath()).absolutePath());
    if (!folder.exists())
        return QStringLiteral("the folder %1 does not exist")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    if (!folder.isDir())
        return QStringLiteral("%1 is not a folder")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    if (!folder.isWritable())
        return QStringLiteral("the folder %1 cannot be written (permission denied)")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    return {};
}

bool SafeFile::open() {
    m_error = targetProblem(m_path);
    if (!m_error.isEmpty())
        return false;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool SafeFile::commit() {
    if (!m_file.isOpen()) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("the file was not open");
        return false;
    }
    if (!m_sink->failure.isEmpty()) {
        m_error = m_sink->failure;
        discard();
        return false;
    }
    if (!m_file.commit()) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

void SafeFile::discard() {
    if (!m_file.isOpen())
        return;
    m_file.cancelWriting();
    m_file.commit(); // closes and removes the temporary file; the target is untouched
}

bool SafeFile::writeAll(const QString& path, const QByteArray& bytes, QString* error) {
    SafeFile file(path);
    bool ok = file.open();
    if (ok)
        file.device().write(bytes); // a failure is kept for commit() to report
    ok = ok && file.commit();
    if (!ok && error)
        *error = file.error();
    return ok;
}
