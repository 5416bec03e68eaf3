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
    void cleanup() { MeterPort::SetSimulatorFactory(nullptr); }
    void unregisteredSimulatorIsAMissingDevice();
    void registeredSimulatorAnswersLikeAMeter();
};

namespace {

// Everything the port delivers through its notification, collected.
struct Received {
    explicit Received(MeterPort& port) {
        port.OnRxChar = [this](MeterPort* sender) {
            QByteArray chunk;
            sender->Read(chunk, sender->InputCount());
            bytes += chunk;
        };
    }
    QByteArray bytes;
};

} // namespace

void TestSimulatorBackend::unregisteredSimulatorIsAMissingDevice() {
    MeterPort port;
    port.setDeviceName(MeterPort::SimulatorName());
    QVERIFY(!port.TryOpen());
    QCOMPARE(port.LastOpenFailure(), QStringLiteral("Simulator: No such device"));
    QVERIFY(port.LastOpenFailureCode() != 0);
    QVERIFY(!port.LastOpenRefused());
    // Opened the way a command does, the failure is a port error like any device's.
    QVERIFY_THROWS_EXCEPTION(PortError, port.setActive(true));
    QVERIFY(!port.Active());
}

void TestSimulatorBackend::registeredSimulatorAnswersLikeAMeter() {
    SimulatorBackend::install();
    MeterPort port;
    Received received(port);
    QSignalSpy active(&port, &MeterPort::activeChanged);
    port.setDeviceName(MeterPort::SimulatorName());
    port.setActive(true);
    QVERIFY(port.Active());
    QCOMPARE(active.count(), 1);

    // K: the echo, then the identity of a model 122; A: the echo, then a live frame, paced by
    // the emulator and delivered from the event loop.
    port.Write(CmdK.bytes());
    const QByteArray identity = CmdK.bytes() + "122\r";
    QTRY_COMPARE_WITH_TIMEOUT(received.bytes, identity, 20000);
    received.bytes.clear();
    port.Write(CmdA.bytes());
    QTRY_VERIFY_WITH_TIMEOUT(received.bytes.size() > CmdA.Size, 20000);
    QVERIFY(received.bytes.startsWith(CmdA.bytes()));

    // To a device and back: each name gets its own backend, and the emulator starts afresh.
    port.setActive(false);
    port.setDeviceName(QStringLiteral("/nonexistent/ttyQL"));
    QVERIFY(!port.TryOpen());
    QCOMPARE(port.LastOpenFailure(), QStringLiteral("/nonexistent/ttyQL: No such device"));
    port.setDeviceName(MeterPort::SimulatorName());
    QVERIFY(port.TryOpen());
    QVERIFY(port.LastOpenFailure().isEmpty());
    received.bytes.clear();
    port.Write(CmdK.bytes());
    QTRY_COMPARE_WITH_TIMEOUT(received.bytes, identity, 20000);

    // A backend factory (tests) is asked first; when it declines, the emulator opens.
    port.setActive(false);
    int scripted = 0;
    MeterPort::SetBackendFactory([&](const QString& path) {
        scripted += path == MeterPort::SimulatorName();
        return std::unique_ptr<PortBackend>();
    });
    QVERIFY(port.TryOpen());
    MeterPort::SetBackendFactory(nullptr);
    QCOMPARE(scripted, 1);
    port.setActive(false);
}

QTEST_GUILESS_MAIN(TestSimulatorBackend)
#include "test_simulatorbackend.moc"
