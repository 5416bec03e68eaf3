// The serial backend against a pseudo-terminal whose far side the test holds: which errors
// from QSerialPort mean that the device has gone, and which are only a read notification
// that found no byte.
#include "serialbackend.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {

// A pseudo-terminal pair; the test writes to and closes the master side.
struct Pty {
    int master = -1;
    int slave = -1;
    QString path;
    Pty() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(name);
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty() {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    void closeMaster() {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
};

// Hands the read notifier of the backend's QSerialPort an activation while no byte is
// waiting, with `staleErrno` left behind by an earlier call: what happens when a nested event
// loop or the zero-wait pull took the bytes after the event loop had seen them arrive.
void spuriousReadNotification(SerialBackend& backend, int staleErrno) {
    QSocketNotifier* reader = nullptr;
    const auto notifiers = backend.serialPortForTests().findChildren<QSocketNotifier*>();
    for (QSocketNotifier* n : notifiers) {
        if (n->type() == QSocketNotifier::Read)
            reader = n;
    }
    QVERIFY(reader);
    QEvent activation(QEvent::SockAct);
    errno = staleErrno;
    QCoreApplication::sendEvent(reader, &activation);
}

} // namespace

class TestSerialBackend : public QObject {
    Q_OBJECT
private slots:
    void emptyReadNotificationKeepsTheDevice_data();
    void emptyReadNotificationKeepsTheDevice();
    void vanishedFarSideClosesOnce();
};

void TestSerialBackend::emptyReadNotificationKeepsTheDevice_data() {
    QTest::addColumn<int>("staleErrno");
    QTest::addColumn<int>("notifications");
    QTest::addColumn<bool>("fails");
    // QSerialPort names the error after errno: EAGAIN, EIO and EBADF make it a resource
    // error (and Qt stops read notifications), others a read error. None of them came from
    // the read itself, which found nothing and returned 0.
    QTest::newRow("EAGAIN, once") << EAGAIN << 1 << false;
    QTest::newRow("EIO, once") << EIO << 1 << false;
    QTest::newRow("EBADF, once") << EBADF << 1 << false;
    QTest::newRow("ENOENT, once") << ENOENT << 1 << false;
    QTest::newRow("no errno, once") << 0 << 1 << false;
    // Below the limit of errors in a row that do count as a failing device.
    QTest::newRow("EAGAIN, ten in a row") << EAGAIN << 10 << false;
    // So many with no byte between them: a device that keeps failing.
    QTest::newRow("EAGAIN, twenty in a row") << EAGAIN << 20 << true;
}

void TestSerialBackend::emptyReadNotificationKeepsTheDevice() {
    QFETCH(int, staleErrno);
    QFETCH(int, notifications);
    QFETCH(bool, fails);
    Pty pty;
    QVERIFY2(!pty.path.isEmpty(), "no pseudo-terminal");
    SerialBackend backend(pty.path);
    int announced = 0;
    int failures = 0;
    QString reason;
    backend.onReadyRead = [&] { ++announced; };
    backend.onDeviceError = [&](const PortBackend::Failure& f) {
        ++failures;
        reason = f.text;
    };
    PortBackend::Failure failure;
    QVERIFY2(backend.open(&failure), qPrintable(failure.text));

    for (int i = 0; i < notifications; ++i)
        spuriousReadNotification(backend, staleErrno);
    if (fails) {
        QCOMPARE(failures, 1);
        QVERIFY(!backend.isOpen());
        // In the backend's words: errno was left over from somewhere else.
        QVERIFY2(reason.contains("never comes"), qPrintable(reason));
        return;
    }
    QCOMPARE(failures, 0);
    QVERIFY(backend.isOpen());

    // Bytes that come afterwards are still announced and can be read, both ways.
    QCOMPARE(::write(pty.master, "abc", 3), ssize_t(3));
    QTRY_VERIFY_WITH_TIMEOUT(announced > 0, 20000);
    QCOMPARE(backend.bytesAvailable(), qint64(3));
    char got[3] = {};
    QCOMPARE(backend.read(got, 3), qint64(3));
    QCOMPARE(QByteArray(got, 3), QByteArray("abc"));
    QVERIFY(backend.write("xyz", 3, &failure));
    backend.waitWritten();
    // The macro evaluates its condition once more at the end: read into a buffer that grows.
    QByteArray echoed;
    const auto readMaster = [&] {
        char chunk[16];
        const ssize_t n = ::read(pty.master, chunk, sizeof chunk);
        if (n > 0)
            echoed.append(chunk, n);
        return echoed.size();
    };
    QTRY_COMPARE_WITH_TIMEOUT(readMaster(), qsizetype(3), 20000);
    QCOMPARE(echoed, QByteArray("xyz"));
    QCOMPARE(failures, 0);
}

// The far side closes (a pseudo-terminal's owner ends, as an adapter is unplugged): the
// backend closes the device and says so once.
void TestSerialBackend::vanishedFarSideClosesOnce() {
    Pty pty;
    QVERIFY2(!pty.path.isEmpty(), "no pseudo-terminal");
    SerialBackend backend(pty.path);
    int failures = 0;
    QString reason;
    backend.onDeviceError = [&](const PortBackend::Failure& f) {
        ++failures;
        reason = f.text;
    };
    PortBackend::Failure failure;
    QVERIFY2(backend.open(&failure), qPrintable(failure.text));
    // The test's own slave descriptor would keep the line up.
    ::close(pty.slave);
    pty.slave = -1;
    pty.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!backend.isOpen(), 20000);
    QCOMPARE(failures, 1);
    QVERIFY2(reason.contains("has gone"), qPrintable(reason));
    QCOMPARE(backend.bytesAvailable(), qint64(0));
}

QTEST_GUILESS_MAIN(TestSerialBackend)
#include "test_serialbackend.moc"
