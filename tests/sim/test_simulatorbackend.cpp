// The "Simulator" port: the meter emulator behind a port object, registered from above (the
// port object itself knows no emulator). Without a registration the name is a device that is
// not there; with one, the port opens the emulator in-process, answers like a meter, and
// changes back and forth between the emulator and a device.
#include "meterport.h"
#include "metercommand.h"
#include "simulatorbackend.h"

#include <QtTest>

class TestSimulatorBackend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { MeterPort::setSimulatorFactory(nullptr); }
    void unregisteredSimulatorIsAMissingDevice();
    void registeredSimulatorAnswersLikeAMeter();
};

namespace {

// Everything the port delivers through its notification, collected.
struct Received {
    explicit Received(MeterPort& port) {
        port.onRxChar = [this](MeterPort* sender) {
            QByteArray chunk;
            sender->read(chunk, sender->inputCount());
            bytes += chunk;
        };
    }
    QByteArray bytes;
};

} // namespace

void TestSimulatorBackend::unregisteredSimulatorIsAMissingDevice() {
    MeterPort port;
    port.setDeviceName(MeterPort::simulatorName());
    QVERIFY(!port.tryOpen());
    QCOMPARE(port.lastOpenFailure(), QStringLiteral("Simulator: No such device"));
    QVERIFY(port.lastOpenFailureCode() != 0);
    QVERIFY(!port.lastOpenRefused());
    // Opened the way a command does, the failure is a port error like any device's.
    QVERIFY_THROWS_EXCEPTION(PortError, port.setActive(true));
    QVERIFY(!port.active());
}

void TestSimulatorBackend::registeredSimulatorAnswersLikeAMeter() {
    SimulatorBackend::install();
    MeterPort port;
    Received received(port);
    QSignalSpy active(&port, &MeterPort::activeChanged);
    port.setDeviceName(MeterPort::simulatorName());
    port.setActive(true);
    QVERIFY(port.active());
    QCOMPARE(active.count(), 1);

    // K: the echo, then the identity of a model 122; A: the echo, then a live frame, paced by
    // the emulator and delivered from the event loop.
    port.write(CmdK.bytes());
    const QByteArray identity = CmdK.bytes() + "122\r";
    QTRY_COMPARE_WITH_TIMEOUT(received.bytes, identity, 20000);
    received.bytes.clear();
    port.write(CmdA.bytes());
    QTRY_VERIFY_WITH_TIMEOUT(received.bytes.size() > CmdA.Size, 20000);
    QVERIFY(received.bytes.startsWith(CmdA.bytes()));

    // To a device and back: each name gets its own backend, and the emulator starts afresh.
    port.setActive(false);
    port.setDeviceName(QStringLiteral("/nonexistent/ttyQL"));
    QVERIFY(!port.tryOpen());
    QCOMPARE(port.lastOpenFailure(), QStringLiteral("/nonexistent/ttyQL: No such device"));
    port.setDeviceName(MeterPort::simulatorName());
    QVERIFY(port.tryOpen());
    QVERIFY(port.lastOpenFailure().isEmpty());
    received.bytes.clear();
    port.write(CmdK.bytes());
    QTRY_COMPARE_WITH_TIMEOUT(received.bytes, identity, 20000);

    // A backend factory (tests) is asked first; when it declines, the emulator opens.
    port.setActive(false);
    int scripted = 0;
    MeterPort::setBackendFactory([&](const QString& path) {
        scripted += path == MeterPort::simulatorName();
        return std::unique_ptr<PortBackend>();
    });
    QVERIFY(port.tryOpen());
    MeterPort::setBackendFactory(nullptr);
    QCOMPARE(scripted, 1);
    port.setActive(false);
}

QTEST_GUILESS_MAIN(TestSimulatorBackend)
#include "test_simulatorbackend.moc"
