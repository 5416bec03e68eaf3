// Finding a meter's port again by the identity of its adapter: the rule that picks the path
// (table-driven), the system links it resolves, and the live link's reconnect against scripted
// devices that vanish and come back under other names, or make way for another device.
#include "livelink.h"
#include "serialportlist.h"
#include "support/fakeport.h"
#include "support/linkspy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kById =
    QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3Q2F-if00-port0");

// The identities the tables name: the meter's adapter, another adapter of the same make, one
// without a serial number (which cannot be told from its siblings) and none at all.
PortIdentity identityNamed(const QString& key) {
    PortIdentity identity;
    if (key == QLatin1String("X") || key == QLatin1String("X-nolink")) {
        identity = {0x0403, 0x6001, QStringLiteral("A10K3Q2F"), kById};
        if (key == QLatin1String("X-nolink"))
            identity.byIdPath.clear();
    } else if (key == QLatin1String("Y")) {
        identity = {
            0x0403, 0x6001, QStringLiteral("B77Z01QX"),
            QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_B77Z01QX-if00-port0")};
    } else if (key == QLatin1String("noserial")) {
        identity = {0x067b, 0x2303, QString(), QString()};
    }
    return identity;
}

// "ttyUSB1:X": the port ttyUSB1 (/dev/ttyUSB1) with the adapter X.
QList<SerialPortList::Entry> portsNamed(const QStringList& ports) {
    QList<SerialPortList::Entry> list;
    for (const QString& port : ports) {
        const QString name = port.section(u':', 0, 0);
        list.append(SerialPortList::Entry{name, QStringLiteral("/dev/") + name,
                                          identityNamed(port.section(u':', 1))});
    }
    return list;
}

} // namespace

class TestPortIdentity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { SerialPortList::setOverride(std::nullopt); }

    void reopenPath_data();
    void reopenPath();
    void identityFollowsNamesAndLinks();
    void byIdLinksByTheirDevice();
    void liveLinkReopensOnlyItsOwnDevice_data();
    void liveLinkReopensOnlyItsOwnDevice();

private:
    // Runs the tick step, letting the scripted devices answer in between, until `done` or the
    // limit.
    static bool tickUntil(LiveLink& link, const std::function<bool()>& done, int limitMs = 30000) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < limitMs) {
            link.onTick();
            QTest::qWait(20);
        }
        return done();
    }
};

void TestPortIdentity::reopenPath_data() {
    QTest::addColumn<QString>("lostPath");
    QTest::addColumn<QString>("identity");
    QTest::addColumn<QStringList>("portsNow");
    QTest::addColumn<QString>("expected"); // empty: nothing is opened

    // With an identity: the device that reports it, wherever it is now.
    QTest::newRow("back in place") << "/dev/ttyUSB0"
                                   << "X" << QStringList{"ttyUSB0:X"} << "/dev/ttyUSB0";
    QTest::newRow("back under another name")
        << "/dev/ttyUSB0"
        << "X" << QStringList{"ttyUSB0:Y", "ttyUSB1:X"} << "/dev/ttyUSB1";
    QTest::newRow("not back yet") << "/dev/ttyUSB0"
                                  << "X" << QStringList{} << "";
    QTest::newRow("another adapter at the old name") << "/dev/ttyUSB0"
                                                     << "X" << QStringList{"ttyUSB0:Y"} << "";
    QTest::newRow("an adapter without identity at the old name")
        << "/dev/ttyUSB0"
        << "X" << QStringList{"ttyUSB0:none", "ttyUSB1:noserial"} << "";
    QTest::newRow("same make, other serial number elsewhere")
        << "/dev/ttyUSB0"
        << "X" << QStringList{"ttyUSB1:Y"} << "";
    QTest::newRow("listed twice: the old name wins")
        << "/dev/ttyUSB0"
        << "X" << QStringList{"ttyUSB1:X", "ttyUSB0:X"} << "/dev/ttyUSB0";
    // A by-id link follows the device: the name the user gave stays.
    QTest::newRow("by-id link follows the device")
        << kById << "X" << QStringList{"ttyUSB3:X"} << kById;
    QTest::newRow("by-id link not made yet: the device's own path")
        << kById << "X" << QStringList{"ttyUSB3:X-nolink"} << "/dev/ttyUSB3";
    QTest::newRow("by-id link of the meter, other adapter listed")
        << kById << "X" << QStringList{"ttyUSB0:Y"} << "";

    // Without an identity: the same path, whatever is there.
    QTest::newRow("no identity: the same path")
        << "/dev/ttyUSB0"
        << "none" << QStringList{"ttyUSB0:Y", "ttyUSB1:none"} << "/dev/ttyUSB0";
    QTest::newRow("no identity: tried at the same path while unlisted")
        << "/dev/ttyUSB0"
        << "none" << QStringList{} << "/dev/ttyUSB0";
    QTest::newRow("no serial number counts as no identity")
        << "/dev/ttyUSB0"
        << "noserial" << QStringList{"ttyUSB1:noserial"} << "/dev/ttyUSB0";
    QTest::newRow("pseudo-terminal") << "/dev/pts/4"
                                     << "none" << QStringList{"ttyUSB0:X"} << "/dev/pts/4";
}

void TestPortIdentity::reopenPath() {
    QFETCH(QString, lostPath);
    QFETCH(QString, identity);
    QFETCH(QStringList, portsNow);
    QFETCH(QString, expected);
    QCOMPARE(SerialPortList::reopenPath(lostPath, identityNamed(identity), portsNamed(portsNow)),
             expected);
}

void TestPortIdentity::identityFollowsNamesAndLinks() {
    // A device of its own and a link to it, as a udev rule or the user would make one.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString device = QDir(dir.path()).canonicalPath() + QStringLiteral("/ttyFAKE0");
    QFile file(device);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString link = dir.filePath(QStringLiteral("meter"));
    QVERIFY(QFile::link(device, link));

    QList<SerialPortList::Entry> ports = portsNamed({"ttyUSB0:Y"});
    ports.append(SerialPortList::Entry{QStringLiteral("ttyFAKE0"), device,
                                       identityNamed(QStringLiteral("X"))});
    const PortIdentity x = identityNamed(QStringLiteral("X"));
    for (const QString& path : {device, QStringLiteral("ttyFAKE0"), link, kById})
        QVERIFY2(SerialPortList::identityAt(path, ports) == x, qPrintable(path));
    QVERIFY(SerialPortList::identityAt(QStringLiteral("/dev/ttyUSB0"), ports) ==
            identityNamed(QStringLiteral("Y")));
    QVERIFY(!SerialPortList::identityAt(QStringLiteral("/dev/pts/7"), ports).isKnown());
    QVERIFY(!SerialPortList::identityAt(dir.filePath(QStringLiteral("gone")), ports).isKnown());
    // The device's link keeps leading to it when the device comes back under another name.
    QCOMPARE(SerialPortList::reopenPath(link, x, ports), link);

    // The same through the replaced system list, which the port names follow too.
    SerialPortList::setOverride(ports);
    QVERIFY(SerialPortList::identityAt(link) == x);
    QCOMPARE(MeterPort::devicePath(QStringLiteral("ttyFAKE0")), device);
    QStringList names;
    MeterPort::enumeratePorts(names);
    QCOMPARE(names, (QStringList{"ttyUSB0", "ttyFAKE0"}));
}

void TestPortIdentity::byIdLinksByTheirDevice() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir root(dir.path());
    QVERIFY(root.mkpath(QStringLiteral("dev")) && root.mkpath(QStringLiteral("by-id")));
    const QString base = root.canonicalPath();
    for (const char* name : {"dev/ttyUSB0", "dev/ttyUSB1", "by-id/README"}) {
        QFile f(base + u'/' + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    // Two links to ttyUSB0 (the first by name counts), one to ttyUSB1, one dangling, and a
    // file that is no link.
    QVERIFY(QFile::link(QStringLiteral("../dev/ttyUSB0"), base + "/by-id/usb-A-if00-port0"));
    QVERIFY(QFile::link(QStringLiteral("../dev/ttyUSB0"), base + "/by-id/usb-B-if00-port0"));
    QVERIFY(QFile::link(base + "/dev/ttyUSB1", base + "/by-id/usb-C-if00-port0"));
    QVERIFY(QFile::link(base + "/dev/ttyUSB9", base + "/by-id/usb-D-if00-port0"));

    const QHash<QString, QString> links = SerialPortList::linksByTarget(base + "/by-id");
    QCOMPARE(links.size(), 2);
    QCOMPARE(links.value(base + "/dev/ttyUSB0"), base + "/by-id/usb-A-if00-port0");
    QCOMPARE(links.value(base + "/dev/ttyUSB1"), base + "/by-id/usb-C-if00-port0");
    QVERIFY(SerialPortList::linksByTarget(base + "/none").isEmpty());
}

void TestPortIdentity::liveLinkReopensOnlyItsOwnDevice_data() {
    QTest::addColumn<QString>("openedAs");     // the link's device name while the meter runs
    QTest::addColumn<QString>("identity");     // its adapter
    QTest::addColumn<QStringList>("portsNow"); // listed after the unplug, each with a meter
    QTest::addColumn<QString>("expected");     // where the link opens again; empty: nowhere

    QTest::newRow("same identity under another name")
        << "/dev/ttyUSB0"
        << "X" << QStringList{"ttyUSB1:X"} << "/dev/ttyUSB1";
    QTest::newRow("another identity at the old name, the meter elsewhere")
        << "/dev/ttyUSB0"
        << "X" << QStringList{"ttyUSB0:Y", "ttyUSB2:X"} << "/dev/ttyUSB2";
    QTest::newRow("another identity at the old name") << "/dev/ttyUSB0"
                                                      << "X" << QStringList{"ttyUSB0:Y"} << "";
    QTest::newRow("no identity at the old name") << "/dev/ttyUSB0"
                                                 << "X" << QStringList{"ttyUSB0:none"} << "";
    QTest::newRow("by-id link") << kById << "X" << QStringList{"ttyUSB1:X"} << kById;
    QTest::newRow("without identity: the same path")
        << "/dev/ttyUSB0"
        << "none" << QStringList{"ttyUSB1:none", "ttyUSB0:Y"} << "/dev/ttyUSB0";
    QTest::newRow("without identity: no other path") << "/dev/ttyUSB0"
                                                     << "none" << QStringList{"ttyUSB1:none"} << "";
}

void TestPortIdentity::liveLinkReopensOnlyItsOwnDevice() {
    QFETCH(QString, openedAs);
    QFETCH(QString, identity);
    QFETCH(QStringList, portsNow);
    QFETCH(QString, expected);

    // The meter runs on ttyUSB0 (reached under `openedAs`).
    FakePortsScope devices;
    auto first = devices.add(QStringLiteral("/dev/ttyUSB0"));
    if (openedAs != QLatin1String("/dev/ttyUSB0"))
        devices.devices[openedAs] = first; // its by-id link
    PlayMeter(first, this);
    QList<SerialPortList::Entry> before = portsNamed({QStringLiteral("ttyUSB0:") + identity});
    SerialPortList::setOverride(before);

    LiveLink link;
    LinkSpy spy(link);
    QSignalSpy moved(&link, &LiveLink::portMoved);
    link.setDeviceName(openedAs);
    link.openPort();
    QVERIFY(link.portOpen());
    QVERIFY(tickUntil(link, [&] { return link.connected() && link.framesDecoded() >= 3; }));
    QVERIFY(link.portIdentity() == identityNamed(identity));

    // Unplugged: the device fails under the open port, and its name is gone.
    first->vanish();
    QVERIFY(!link.portOpen());
    devices.devices.clear();
    SerialPortList::setOverride(QList<SerialPortList::Entry>{});
    QVERIFY(tickUntil(link, [&] { return !link.connected(); }));

    // What is plugged in now, each a meter that would answer if it were called.
    const QList<SerialPortList::Entry> now = portsNamed(portsNow);
    std::map<QString, std::shared_ptr<FakeDevice>> meters;
    for (const SerialPortList::Entry& entry : now) {
        auto device = devices.add(entry.path);
        PlayMeter(device, this);
        meters[entry.path] = device;
        if (!entry.identity.byIdPath.isEmpty() && entry.identity.byIdPath == openedAs)
            devices.devices[openedAs] = device;
    }
    SerialPortList::setOverride(now);
    const qint64 decodedBefore = link.framesDecoded();

    if (expected.isEmpty()) {
        // Nothing is opened however long the link looks.
        const int ticksBefore = spy.ticks;
        QVERIFY(tickUntil(link, [&] { return spy.ticks >= ticksBefore + 8; }));
        QVERIFY(!link.portOpen());
        QCOMPARE(link.deviceName(), openedAs);
        for (const auto& [path, device] : meters)
            QVERIFY2(device->opens == 0 && device->writes.isEmpty(), qPrintable(path));
        QCOMPARE(link.framesDecoded(), decodedBefore);
        if (identityNamed(portsNow.value(0).section(u':', 1)).isKnown())
            QVERIFY2(spy.panel0.contains(QLatin1String("another device")), qPrintable(spy.panel0));
        return;
    }
    QVERIFY(tickUntil(
        link, [&] { return link.connected() && link.framesDecoded() >= decodedBefore + 3; }));
    QCOMPARE(link.deviceName(), expected);
    if (identityNamed(identity).isKnown())
        QVERIFY(link.portIdentity() == identityNamed(identity));
    // Only the expected device was opened and called.
    const QString devicePath = expected == kById ? QStringLiteral("/dev/ttyUSB1") : expected;
    for (const auto& [path, device] : meters) {
        if (path == devicePath)
            QVERIFY(device->written().contains(CmdK.bytes()));
        else
            QVERIFY2(device->opens == 0 && device->writes.isEmpty(), qPrintable(path));
    }
    // A new name is said; a name that still leads to the meter is no news.
    if (expected != openedAs) {
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0).at(0).toString(), openedAs);
        QCOMPARE(moved.at(0).at(1).toString(), expected);
        QVERIFY2(spy.calls.contains(
                     QStringLiteral("status0 %1 (found again; was %2)").arg(expected, openedAs)),
                 qPrintable(spy.calls.join(u'\n')));
    } else {
        QCOMPARE(moved.count(), 0);
    }
}

QTEST_GUILESS_MAIN(TestPortIdentity)
#include "test_portidentity.moc"
