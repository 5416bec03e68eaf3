#include "discovery.h"
#include "support/fakeport.h"
#include "livelink.h"
#include "metercommand.h"
#include "support/linkspy.h"
#include "serialbackend.h"

#include <QTest>

namespace {

class FakeHost : public DiscoveryHost {
public:
    QStringList ports;
    int selected = -1;
    QString text = QStringLiteral("ComPort");
    QStringList progress;
    void showProgress(const QString& t) override { progress << t; }
    int portCount() const override { return int(ports.size()); }
    QString portName(int i) const override { return ports.value(i); }
    void selectPort(int i) override {
        selected = i;
        text = ports.value(i);
    }
    QString portText() const override { return text; }
};

} // namespace

// A fake device that answers K with the identity the way a meter does (echo first).
static void answerK(const std::shared_ptr<FakeDevice>& d, const QByteArray& identity) {
    d->echo = false;
    d->notify = nullptr;
    // The backend calls write(); answer once both K commands were written.
    d->writes.clear();
    d->input.clear();
    // (The device owns the function: a shared_ptr to itself in it would never be freed.)
    d->onWrite = [device = d.get(), identity](const QByteArray& bytes) {
        if (bytes == CmdK.bytes())
            device->input += bytes + identity;
    };
}

class TestDiscovery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void meterOnThirdPort();
    void rememberedPortIsAskedFirst();
    void model120();
    void noMeterSelectsStoredPortOrFirst();
    void simulatorIsSkippedAndNeverPreselected();
    void refusedPortSaysWhy();
    void permissionTextNamesTheGroup();
};

void TestDiscovery::meterOnThirdPort() {
    FakePortsScope ports;
    auto a = ports.add("/dev/a");
    auto b = ports.add("/dev/b");
    auto c = ports.add("/dev/c");
    answerK(c, "122\r");
    LiveLink link;
    LinkSpy views(link);
    FakeHost host;
    host.ports = {"/dev/a", "/dev/b", "/dev/c", MeterPort::simulatorName()};
    discoverMeter(link, host);

    QCOMPARE(a->opens, 1);
    QCOMPARE(b->opens, 1);
    QVERIFY(!a->open && !b->open);
    QCOMPARE(a->writes, (QList<QByteArray>{CmdK.bytes(), CmdK.bytes()}));
    QVERIFY(link.connected());
    QCOMPARE(link.portIndex(), 2);
    QCOMPARE(link.meterModel(), 122);
    QCOMPARE(link.savedModel(), 122);
    QCOMPARE(views.panel0, QStringLiteral("On Connection"));
    QCOMPARE(views.panel1, QStringLiteral("/dev/c"));
    QVERIFY(views.connected);
    QCOMPARE(views.model, 122);
    // The live link has the port: reopened, handler attached, A sent last.
    QVERIFY(c->open);
    QCOMPARE(c->writes.last(), CmdA.bytes());
    // ...and its receive step takes the frames from now on.
    c->writes.clear();
    c->send("11234;002\r\n");
    QCOMPARE(c->writes, QList<QByteArray>{CmdY.bytes()});
    QCOMPARE(link.reading().count, 1234);
    QCOMPARE(host.progress.first(), QStringLiteral("Initializing COM Port ...."));
    QVERIFY(host.progress.contains(QStringLiteral("Searching Multimeter on /dev/c")));
}

// Two meters on the desk: the one on the port used last is found again, the other one is
// never called; and a meter elsewhere is still found when the remembered port has none.
void TestDiscovery::rememberedPortIsAskedFirst() {
    FakePortsScope ports;
    auto a = ports.add("/dev/a");
    auto b = ports.add("/dev/b");
    auto c = ports.add("/dev/c");
    answerK(a, "120\r");
    answerK(c, "122\r");
    FakeHost host;
    host.ports = {"/dev/a", "/dev/b", "/dev/c", MeterPort::simulatorName()};
    {
        LiveLink link;
        link.setPortIndex(2);
        discoverMeter(link, host);
        QVERIFY(link.connected());
        QCOMPARE(link.portIndex(), 2);
        QCOMPARE(link.meterModel(), 122);
        QCOMPARE(a->opens, 0);
        QCOMPARE(b->opens, 0);
    }
    {
        LiveLink link;
        link.setPortIndex(1);
        discoverMeter(link, host);
        QVERIFY(link.connected());
        QCOMPARE(link.portIndex(), 0);
        QCOMPARE(link.meterModel(), 120);
        QCOMPARE(b->opens, 1);
        const int searched = host.progress.indexOf(QStringLiteral("Searching Multimeter on /dev/b"));
        QVERIFY(searched >= 0);
        QCOMPARE(host.progress.indexOf(QStringLiteral("Searching Multimeter on /dev/a"), searched),
                 searched + 1);
    }
}

void TestDiscovery::model120() {
    FakePortsScope ports;
    answerK(ports.add("/dev/a"), "120\r");
    LiveLink link;
    LinkSpy views(link);
    FakeHost host;
    host.ports = {"/dev/a"};
    discoverMeter(link, host);
    QVERIFY(link.connected());
    QCOMPARE(link.meterModel(), 120);
    QCOMPARE(views.callsStarting("connection"), QStringList{"connection 1 120"});
}

void TestDiscovery::noMeterSelectsStoredPortOrFirst() {
    FakePortsScope ports;
    auto a = ports.add("/dev/a");
    ports.add("/dev/b");
    LiveLink link;
    LinkSpy views(link);
    FakeHost host;
    host.ports = {"/dev/a", "/dev/b"};
    link.setPortIndex(1);
    discoverMeter(link, host);
    QVERIFY(!link.connected());
    QCOMPARE(host.selected, 1);
    QCOMPARE(views.panel0, QStringLiteral("/dev/b"));
    QCOMPARE(views.panel1, QStringLiteral("Not connected"));
    QCOMPARE(link.meterModel(), 122);
    QVERIFY(views.callsStarting("connection").isEmpty());

    // A stored index beyond the list falls back to the first port.
    LiveLink link2;
    LinkSpy views2(link2);
    link2.setPortIndex(5);
    discoverMeter(link2, host);
    QCOMPARE(link2.portIndex(), 0);
    QCOMPARE(host.selected, 0);
    QCOMPARE(views2.panel0, QStringLiteral("/dev/a"));
    QVERIFY(a->open);
    QCOMPARE(a->writes.last(), CmdA.bytes());
}

void TestDiscovery::simulatorIsSkippedAndNeverPreselected() {
    FakePortsScope ports;
    LiveLink link;
    LinkSpy views(link);
    FakeHost host;
    host.ports = {MeterPort::simulatorName()};
    link.setPortIndex(0);
    discoverMeter(link, host);
    QVERIFY(!link.connected());
    QCOMPARE(host.selected, -1); // never selected
    QVERIFY(link.deviceName() != MeterPort::simulatorName());
    QVERIFY(!link.portOpen());
    QCOMPARE(views.panel1, QStringLiteral("Not connected"));
}

void TestDiscovery::refusedPortSaysWhy() {
    FakePortsScope ports;
    auto a = ports.add("/dev/a");
    a->failOpen = true;
    LiveLink link;
    LinkSpy views(link);
    FakeHost host;
    host.ports = {"/dev/a"};
    discoverMeter(link, host);
    QCOMPARE(views.panel1, QStringLiteral("Not connected"));
    QCOMPARE(views.panel0, QStringLiteral("Permission denied"));
}

void TestDiscovery::permissionTextNamesTheGroup() {
    const QString text = SerialBackend::describeOpenFailure(QSerialPort::PermissionError,
                                                            "/dev/ttyUSB0", "Permission denied");
    QVERIFY(text.contains("/dev/ttyUSB0"));
    QVERIFY(text.contains("dialout"));
    QVERIFY(SerialBackend::describeOpenFailure(QSerialPort::DeviceNotFoundError, "/dev/x", "")
                .contains("No such device"));
}

QTEST_GUILESS_MAIN(TestDiscovery)
#include "test_discovery.moc"
