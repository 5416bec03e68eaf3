// Files written so that they end up complete or as they were: replacement, refused targets, a
// disk that refuses the rest (a file size limit stands in for a full disk), Cancel.

#include "safefile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// A limit on the size of every file this process writes, lifted again on leaving the scope:
// writes beyond it fail with EFBIG as they would with ENOSPC on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replacesOnlyWhenComplete();
    void refusesWhatIsNotAFile();

private:
    QTemporaryDir m_dir;
};

void TestSafeFile::replacesOnlyWhenComplete() {
    const QString path = m_dir.filePath("data.txt");
    put(path, "old");
    const auto folderHoldsOnly = [this](const QStringList& names) {
        return QDir(m_dir.path()).entryList(QDir::Files) == names;
    };

    QString error;
    QVERIFY(SafeFile::writeAll(path, "new content", &error));
    QCOMPARE(contentOf(path), QByteArray("new content"));

    // The disk refuses the rest: the reason is the system's (not "Unknown error", which is
    // what a refusal after a partial write leaves in QFileDevice) and the old file stays.
    const QByteArray big(64 * 1024, 'x');
    {
        FileSizeLimit limit(1000);
        QVERIFY(!SafeFile::writeAll(path, big, &error));
    }
    QVERIFY2(error.contains("File too large"), qPrintable(error));
    QCOMPARE(contentOf(path), QByteArray("new content"));
    {
        FileSizeLimit limit(1000);
        SafeFile file(path);
        QVERIFY(file.open());
        QCOMPARE(file.device().write(QByteArray(600, 'y')), 600);
        QCOMPARE(file.device().write(QByteArray(600, 'y')), -1); // 400 of them would fit
        QVERIFY2(file.device().errorString().contains("File too large"),
                 qPrintable(file.device().errorString()));
        QCOMPARE(file.device().write("z"), -1); // nothing more after a failure
        QVERIFY(!file.commit());
        QVERIFY2(file.error().contains("File too large"), qPrintable(file.error()));
    }
    QCOMPARE(contentOf(path), QByteArray("new content"));
    QVERIFY(folderHoldsOnly({"data.txt"})); // no temporary file left behind

    // Discarded: the target stays as it was, and a new name is not created.
    {
        SafeFile file(path);
        QVERIFY(file.open());
        file.device().write("partial");
        file.discard();
    }
    {
        SafeFile file(m_dir.filePath("never.txt"));
        QVERIFY(file.open());
        file.device().write("partial");
    } // destroyed while open: the same as discard
    QCOMPARE(contentOf(path), QByteArray("new content"));
    QVERIFY(folderHoldsOnly({"data.txt"}));

    // A link is followed: the file it points to gets the content, the link stays a link.
    const QString link = m_dir.filePath("link.txt");
    QVERIFY(QFile::link(path, link));
    QVERIFY(SafeFile::writeAll(link, "through the link", &error));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(contentOf(path), QByteArray("through the link"));
    QFile::remove(link);
}

void TestSafeFile::refusesWhatIsNotAFile() {
    const QString fifo = m_dir.filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString socketPath = m_dir.filePath("socket");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(socketPath);
    QVERIFY(native.size() < int(sizeof address.sun_path));
    std::memcpy(address.sun_path, native.constData(), native.size());
    QCOMPARE(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const QString readOnly = m_dir.filePath("read-only");
    QVERIFY(QDir().mkdir(readOnly));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    const bool root = ::geteuid() == 0; // root writes into any folder

    const struct {
        QString path;
        const char* says; // nullptr: accepted
    } cases[] = {
        {fifo, "pipe"},
        {socketPath, "socket"},
        {QStringLiteral("/dev/null"), "device"},
        {QStringLiteral("/dev/full"), "device"},
        {m_dir.path(), "folder"},
        {m_dir.filePath("no/such/folder/a.txt"), "does not exist"},
        {readOnly + "/a.txt", root ? nullptr : "permission denied"},
        {m_dir.filePath("fine.txt"), nullptr},
        {QString(), "no file name"},
    };
    for (const auto& c : cases) {
        const QString why = SafeFile::targetProblem(c.path);
        if (!c.says) {
            QVERIFY2(why.isEmpty(), qPrintable(c.path + ": " + why));
            continue;
        }
        QVERIFY2(why.contains(c.says), qPrintable(c.path + ": " + why));
        QString error;
        QVERIFY(!SafeFile::writeAll(c.path, "x", &error));
        QCOMPARE(error, why);
    }
    // The refused nodes are still what they were.
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    QVERIFY(::stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
    ::close(s);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_GUILESS_MAIN(TestSafeFile)
#include "test_safefile.moc"
