// metersim's logger options through its pseudo-terminal: an image file in, a dump with a
// corrupted block, a write and an erase, the memory saved on exit; and a line that goes away.

#include "link/metersimprocess.h"
#include "loggerimagebuilder.h"

#include <QtTest>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray command(char letter, uchar p1 = 0, uchar p2 = 0, uchar p3 = 0) {
    QByteArray c(6, '\0');
    c[0] = 0x02;
    c[1] = letter;
    c[2] = char(p1);
    c[3] = char(p2);
    c[4] = char(p3);
    c[5] = 0x03;
    return c;
}

uchar sum(const QByteArray& bytes) {
    uchar s = 0;
    for (const char b : bytes)
        s = uchar(s + uchar(b));
    return s;
}

// The serial line as any program opens it: raw, 9600 baud, non-blocking.
class Line {
public:
    ~Line() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool open(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0)
            return false;
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        return tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }
    bool send(const QByteArray& bytes) {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Up to `count` bytes within the time; stops early when the line is gone.
    QByteArray receive(qsizetype count, int timeoutMs = 3000) {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
        QByteArray got;
        while (got.size() < count && !gone) {
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
            if (left <= 0)
                break;
            pollfd pfd{m_fd, POLLIN, 0};
            if (poll(&pfd, 1, int(left)) <= 0)
                continue;
            char buf[256];
            const ssize_t n =
                ::read(m_fd, buf, size_t(std::min<qsizetype>(count - got.size(), 256)));
            if (n > 0)
                got.append(buf, n);
            else if (n == 0 || errno == EIO)
                gone = true;
        }
        return got;
    }
    bool gone = false;

private:
    int m_fd = -1;
};

} // namespace

class TestMetersimLogger : public QObject {
    Q_OBJECT

private slots:
    void imageDumpWriteEraseSaved();
    void lineGoneAfterBlock();
    void options();
};

void TestMetersimLogger::imageDumpWriteEraseSaved() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    LoggerImageBuilder builder;
    builder.setTimeLabel(QDateTime(QDate(2016, 3, 7), QTime(9, 5, 30)));
    builder.setIntervalSetting(3000000);
    LoggerDataSet set;
    set.records = QList<quint16>(40, LoggerDataSet::record(2, 1234));
    builder.addSet(set);
    const QByteArray image = builder.image();
    QString error;
    // Only the used part in the file: the rest loads as erased memory.
    QVERIFY(LoggerImageBuilder::save(dir.filePath("in.bin"), image.left(384), &error));

    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--image", dir.filePath("in.bin"), "--save-image",
                       dir.filePath("out.bin"), "--corrupt-block", "1"}));
    Line line;
    QVERIFY2(line.open(sim.path), strerror(errno));

    QVERIFY(line.send(command('C')));
    QCOMPARE(line.receive(6), command('C'));
    QVERIFY(line.send(command('P')));
    QCOMPARE(line.receive(6), command('P'));
    // Last used byte 347: six blocks, then nothing.
    QByteArray received;
    for (int k = 0; k < 6; ++k) {
        QByteArray block = line.receive(65);
        QCOMPARE(block.size(), 65);
        if (k == 1) {
            QVERIFY(uchar(block.at(64)) != sum(block.left(64))); // corrupted once
            QVERIFY(line.send(command('n')));
            block = line.receive(65);
        }
        QCOMPARE(uchar(block.at(64)), sum(block.left(64)));
        received += block.left(64);
        QVERIFY(line.send(command('y')));
    }
    QCOMPARE(line.receive(65, 300), QByteArray());
    QCOMPARE(received, image.left(384));

    QVERIFY(line.send(command('E', 'E', 'E')));
    QCOMPARE(line.receive(6), command('E', 'E', 'E'));
    QVERIFY(line.send(command('W', 0x30, 0xF0, 0x42)));
    QCOMPARE(line.receive(6), command('W', 0x30, 0xF0, 0x42));
    QVERIFY(line.send(command('R', 0x30, 0xF0)));
    QCOMPARE(line.receive(7), command('R', 0x30, 0xF0) + char(0x42));

    sim.process.terminate();
    QVERIFY(sim.process.waitForFinished(5000));
    QCOMPARE(sim.process.exitCode(), 0);
    QByteArray saved;
    QVERIFY2(LoggerImageBuilder::load(dir.filePath("out.bin"), &saved, &error), qPrintable(error));
    QByteArray expected = LoggerImageBuilder::emptyImage(builder.timeLabel(), 3000000);
    expected[0x30F0] = 0x42;
    QCOMPARE(saved, expected);
}

void TestMetersimLogger::lineGoneAfterBlock() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--sets", "3", "--records", "40", "--line-gone-after-block",
                       "1", "--save-image", dir.filePath("out.bin")}));
    Line line;
    QVERIFY(line.open(sim.path));
    QVERIFY(line.send(command('C') + command('P')));
    const QByteArray first = line.receive(12 + 65);
    QCOMPARE(first.size(), 12 + 65);
    QVERIFY(line.send(command('y')));
    const QByteArray second = line.receive(65); // block 1 still arrives whole
    QCOMPARE(second.size(), 65);
    QCOMPARE(second.left(64), LoggerImageBuilder::generatedImage(3, 40).mid(64, 64));
    QVERIFY(line.send(command('y')));
    QCOMPARE(line.receive(65, 5000), QByteArray());
    QVERIFY(line.gone);
    // The program ends by itself and still saves the memory.
    QVERIFY(sim.process.waitForFinished(5000));
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(sim.process.readAllStandardError().contains("the line is gone after block 1"));
    QCOMPARE(QFileInfo(dir.filePath("out.bin")).size(), 65536);
}

void TestMetersimLogger::options() {
    QProcess help;
    help.start(MeterSimProcess::program(), {"--help"});
    QVERIFY(help.waitForFinished(5000));
    const QByteArray text = help.readAllStandardOutput();
    for (const char* option :
         {"--image", "--sets", "--records", "--save-image", "--corrupt-block",
          "--corrupt-block-always", "--cut-block", "--cut-block-always", "--silent-after-block",
          "--line-gone-after-block", "--no-echo-of", "--wrong-read"})
        QVERIFY2(text.contains(option), option);

    const QList<QStringList> bad = {{"--cut-block", "1"},
                                    {"--cut-block", "1,65"},
                                    {"--no-echo-of", "CX"},
                                    {"--image", "/nonexistent/image.bin"},
                                    {"--sets", "3", "--records", "20000"},
                                    {"--image", "x.bin", "--sets", "2"}};
    for (const QStringList& args : bad) {
        QProcess p;
        p.start(MeterSimProcess::program(), args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(p.readAllStandardOutput(), QByteArray()); // no device path
    }
}

QTEST_GUILESS_MAIN(TestMetersimLogger)
#include "test_metersim_logger.moc"
