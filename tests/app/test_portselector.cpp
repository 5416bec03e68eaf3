// The port box and the remembered port: the port picked at start-up by its adapter's identity
// when its name changed, the identity kept in the settings, and the box following the live
// link when it finds its meter again under another name.
#include "livelink.h"
#include "meterport.h"
#include "portselector.h"
#include "programsettings.h"
#include "serialportlist.h"
#include "support/fakeport.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {

const PortIdentity kMeter{0x0403, 0x6001, QStringLiteral("A10K3Q2F"), QString()};
const PortIdentity kOther{0x0403, 0x6001, QStringLiteral("B77Z01QX"), QString()};

PortIdentity identityNamed(const QString& key) {
    if (key == QLatin1String("X"))
        return kMeter;
    if (key == QLatin1String("Y"))
        return kOther;
    return {};
}

} // namespace

class TestPortSelector : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("cfg"));
        // Device files of their own, so that links to them resolve as on a real system.
        QVERIFY(QDir(m_dir.path()).mkpath("dev") && QDir(m_dir.path()).mkpath("by-id"));
        m_devices = QDir(m_dir.filePath("dev")).canonicalPath();
        for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB2"}) {
            QFile device(m_devices + u'/' + QLatin1String(name));
            QVERIFY(device.open(QIODevice::WriteOnly));
        }
        m_byId = m_dir.filePath("by-id/usb-FTDI_FT232R_USB_UART_A10K3Q2F-if00-port0");
    }
    void cleanup() {
        SerialPortList::setOverride(std::nullopt);
        QSettings(QSettings::UserScope, "QL350", "QL350").clear();
    }

    void rememberedPort_data();
    void rememberedPort();
    void identityKeptInTheSettings_data();
    void identityKeptInTheSettings();
    void boxFollowsTheMeterToItsNewName();

private:
    // "ttyUSB1:X" is the port ttyUSB1 with the adapter X, in this test's device folder.
    QList<SerialPortList::Entry> ports(const QStringList& list) const {
        QList<SerialPortList::Entry> entries;
        for (const QString& port : list) {
            const QString name = port.section(u':', 0, 0);
            entries.append(SerialPortList::Entry{name, m_devices + u'/' + name,
                                                 identityNamed(port.section(u':', 1))});
        }
        return entries;
    }

    QTemporaryDir m_dir;
    QString m_devices;
    QString m_byId;
};

void TestPortSelector::rememberedPort_data() {
    QTest::addColumn<QString>("name");     // "Port/Name"; "by-id": the meter's by-id link
    QTest::addColumn<QString>("identity"); // the remembered adapter
    QTest::addColumn<QStringList>("portsNow");
    QTest::addColumn<QString>("expected"); // the item preselected; empty: none

    QTest::newRow("the adapter under another name")
        << "ttyUSB0"
        << "X" << QStringList{"ttyUSB0:Y", "ttyUSB1:X"} << "ttyUSB1";
    QTest::newRow("the adapter in place")
        << "ttyUSB0"
        << "X" << QStringList{"ttyUSB0:X", "ttyUSB1:Y"} << "ttyUSB0";
    QTest::newRow("the adapter absent: by name")
        << "ttyUSB1"
        << "X" << QStringList{"ttyUSB0:Y", "ttyUSB1:Y"} << "ttyUSB1";
    QTest::newRow("no identity remembered: by name")
        << "ttyUSB1"
        << "none" << QStringList{"ttyUSB0:X", "ttyUSB1:Y"} << "ttyUSB1";
    QTest::newRow("neither name nor adapter") << "ttyUSB5"
                                              << "X" << QStringList{"ttyUSB0:Y"} << "";
    QTest::newRow("a by-id link that leads to the adapter stays")
        << "by-id"
        << "X" << QStringList{"ttyUSB0:Y", "ttyUSB2:X"} << "by-id";
}

void TestPortSelector::rememberedPort() {
    QFETCH(QString, name);
    QFETCH(QString, identity);
    QFETCH(QStringList, portsNow);
    QFETCH(QString, expected);
    // The meter's by-id link leads to wherever its adapter is now.
    QFile::remove(m_byId);
    for (const SerialPortList::Entry& entry : ports(portsNow)) {
        if (entry.identity == kMeter)
            QVERIFY(QFile::link(entry.path, m_byId));
    }
    if (name == QLatin1String("by-id"))
        name = m_byId;
    if (expected == QLatin1String("by-id"))
        expected = m_byId;
    SerialPortList::setOverride(ports(portsNow));

    QWidget window;
    LiveLink link;
    PortSelector selector(link, &window);
    selector.fillPortList();
    const int index = selector.indexOfRemembered(name, identityNamed(identity));
    QCOMPARE(index < 0 ? QString() : selector.box()->itemText(index), expected);
    // The simulator stays last.
    QCOMPARE(selector.box()->itemText(selector.box()->count() - 1), MeterPort::simulatorName());
}

void TestPortSelector::identityKeptInTheSettings_data() {
    QTest::addColumn<QVariant>("vendor");
    QTest::addColumn<QVariant>("product");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("known");

    QTest::newRow("complete") << QVariant(0x0403) << QVariant(0x6001) << "A10K3Q2F" << true;
    QTest::newRow("vendor and product 0") << QVariant(0) << QVariant(0) << "1" << true;
    QTest::newRow("no serial number") << QVariant(0x0403) << QVariant(0x6001) << "" << false;
    QTest::newRow("vendor out of range")
        << QVariant(0x10000) << QVariant(0x6001) << "A10K3Q2F" << false;
    QTest::newRow("product unreadable")
        << QVariant(0x0403) << QVariant("six") << "A10K3Q2F" << false;
    QTest::newRow("vendor missing") << QVariant() << QVariant(0x6001) << "A10K3Q2F" << false;
}

void TestPortSelector::identityKeptInTheSettings() {
    QFETCH(QVariant, vendor);
    QFETCH(QVariant, product);
    QFETCH(QString, serial);
    QFETCH(bool, known);
    QSettings settings(QSettings::UserScope, "QL350", "QL350");
    if (vendor.isValid())
        settings.setValue("Port/Vendor", vendor);
    if (product.isValid())
        settings.setValue("Port/Product", product);
    settings.setValue("Port/Serial", serial);
    settings.setValue("Port/ById", m_byId);
    settings.sync();

    const PortIdentity read = ProgramSettings::portIdentity();
    QCOMPARE(read.isKnown(), known);
    if (known) {
        QCOMPARE(*read.vendorId, quint16(vendor.toInt()));
        QCOMPARE(*read.productId, quint16(product.toInt()));
        QCOMPARE(read.serialNumber, serial);
        QCOMPARE(read.byIdPath, m_byId);
    }

    // Written back: a known identity as it is, any other as none (an older port's is removed).
    ProgramSettings::setPortIdentity(read);
    const PortIdentity again = ProgramSettings::portIdentity();
    QVERIFY(again == read);
    QCOMPARE(again.byIdPath, read.byIdPath);
    QSettings after(QSettings::UserScope, "QL350", "QL350");
    QCOMPARE(after.contains("Port/Serial"), known);
    QCOMPARE(after.contains("Port/ById"), known);
}

void TestPortSelector::boxFollowsTheMeterToItsNewName() {
    FakePortsScope devices;
    auto first = devices.add(m_devices + "/ttyUSB0");
    PlayMeter(first, this);
    SerialPortList::setOverride(ports({"ttyUSB0:X", "ttyUSB1:Y"}));

    QWidget window;
    LiveLink link;
    PortSelector selector(link, &window);
    selector.fillPortList();
    QCOMPARE(selector.portText(), QStringLiteral("ttyUSB0"));
    QCOMPARE(link.deviceName(), m_devices + "/ttyUSB0");
    const auto tickUntil = [&](const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 30000) {
            link.onTick();
            QTest::qWait(20);
        }
        return done();
    };
    link.openPort();
    QVERIFY(tickUntil([&] { return link.connected(); }));

    // Unplugged, and back under a name the box does not list yet; ttyUSB1 keeps another
    // adapter.
    first->vanish();
    devices.devices.clear();
    auto second = devices.add(m_devices + "/ttyUSB2");
    PlayMeter(second, this);
    auto other = devices.add(m_devices + "/ttyUSB1");
    PlayMeter(other, this);
    SerialPortList::setOverride(ports({"ttyUSB1:Y", "ttyUSB2:X"}));
    QVERIFY(tickUntil([&] { return link.connected() && link.portOpen(); }));
    QCOMPARE(link.deviceName(), m_devices + "/ttyUSB2");
    QCOMPARE(other->opens, 0);
    // The box shows where the meter is now, and its index is the port's.
    QCOMPARE(selector.portText(), m_devices + "/ttyUSB2");
    QCOMPARE(link.portIndex(), selector.currentIndex());
    QCOMPARE(selector.box()->itemText(selector.box()->count() - 1), MeterPort::simulatorName());
}

QTEST_MAIN(TestPortSelector)
#include "test_portselector.moc"
