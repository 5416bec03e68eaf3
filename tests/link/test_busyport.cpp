// A port that another program holds is reported as in use, with the holder's process id, and
// not as a missing permission; a holder that died without cleaning up holds nothing.

#include "meterport.h"
#include "support/ptypair.h"

#include <QProcess>
#include <QTest>

#include <unistd.h>

namespace {

// Another program holding a port: portholder, started and waited for until it holds it.
class PortHolder {
public:
    ~PortHolder() {
        process.closeWriteChannel(); // the holder lets go and ends
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(3000);
    }
    bool start(const QStringList& arguments) {
        process.start(qEnvironmentVariable("QL_BIN_DIR") + "/portholder", arguments);
        if (!process.waitForStarted(5000))
            return false;
        while (!process.canReadLine())
            if (!process.waitForReadyRead(5000))
                return false;
        return process.readLine().trimmed() == "held";
    }
    QByteArray errors() { return process.readAllStandardError(); }
    QProcess process;
};

} // namespace

class TestBusyPort : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lockedPortNamesItsHolder();
    void exclusiveUseWithoutLockFile();
};

void TestBusyPort::lockedPortNamesItsHolder() {
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortHolder holder;
    QVERIFY2(holder.start({pty.path()}), holder.errors().constData());

    MeterPort port;
    port.setDeviceName(pty.path());
    QVERIFY(!port.tryOpen());
    const QString inUse = QStringLiteral("%1 is in use by another program (pid %2)")
                              .arg(pty.path())
                              .arg(holder.process.processId());
    QCOMPARE(port.lastOpenFailure(), inUse);
    QVERIFY(port.lastOpenRefused());
    QVERIFY(!port.lastOpenFailure().contains("dialout"));
    // The program's own open raises the same text to the error handler.
    QString reported;
    port.onError = [&](MeterPort*, const PortError& e, PortErrorAction& action) {
        reported = e.message;
        action = caAbort;
    };
    QVERIFY_THROWS_EXCEPTION(SilentAbort, port.setActive(true));
    QCOMPARE(reported, inUse);

    // Killed, the holder leaves its lock file behind, which names no one any more. Root opens
    // the port; anyone else still finds the device marked for exclusive use, because the test
    // itself keeps the terminal open (the mark lasts until its last close), and is told it is
    // in use, without a process id.
    holder.process.kill();
    QVERIFY(holder.process.waitForFinished(5000));
    if (::geteuid() == 0) {
        QVERIFY2(port.tryOpen(), qPrintable(port.lastOpenFailure()));
    } else {
        QVERIFY(!port.tryOpen());
        QCOMPARE(port.lastOpenFailure(),
                 QStringLiteral("%1 is in use by another program").arg(pty.path()));
    }
}

void TestBusyPort::exclusiveUseWithoutLockFile() {
    // A program that opened the device for exclusive use but wrote no lock file: the kernel
    // refuses other opens with EBUSY, except for root, which it lets through.
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortHolder holder;
    QVERIFY2(holder.start({"--exclusive", pty.path()}), holder.errors().constData());

    MeterPort port;
    port.setDeviceName(pty.path());
    if (::geteuid() == 0) {
        QVERIFY2(port.tryOpen(), qPrintable(port.lastOpenFailure()));
        return;
    }
    QVERIFY(!port.tryOpen());
    QCOMPARE(port.lastOpenFailure(),
             QStringLiteral("%1 is in use by another program").arg(pty.path()));
    QVERIFY(port.lastOpenRefused());
}

QTEST_GUILESS_MAIN(TestBusyPort)
#include "test_busyport.moc"
