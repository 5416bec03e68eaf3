// The live link against metersim through a real pseudo-terminal.
#include "delay.h"
#include "livelink.h"
#include "metercommand.h"
#include "serialportlist.h"
#include "support/metersimprocess.h"
#include "support/linkspy.h"
#include "support/ptypair.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Range, four digits, function, three status characters.
const QList<QByteArray> kScript = {
    "11234;00:", // 1.234 V
    "00500;40:", // -50.0 mV
    "207503002", // 7.50 KOhm
    "112349002", // (4th frame: corrupted by metersim)
    "300254800", // 25 C
    "010006002", // 1.000 nF
    "10000;102", // OL V
    "11111;002", // (8th frame: corrupted)
};
const QStringList kExpected = {"1.234 V", "-50.0 mV", "7.50 KOhm", "25 C", "1.000 nF", "OL V"};

} // namespace

class TestLinkPty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QFile script(dir.filePath("readings.txt"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("# frames for the link test\n");
        for (const auto& f : kScript)
            script.write(f + "\n");
        script.close();
        linkPath = dir.filePath("meter");
    }

    void cleanup() { SerialPortList::setOverride(std::nullopt); }

    void decodesKnownSequenceAndSurvivesMeterLoss();
    void meterFoundAgainByItsIdentityOnly();
    void resynchronisesAndLosesNoNotification();
    void badFramesCostOneFrameEach();

private:
    // Runs timer ticks every `ms` until `done` or the time runs out.
    bool tickUntil(LiveLink& link, const std::function<bool()>& done, int ms, int limitMs) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < limitMs) {
            QTest::qWait(ms);
            link.onTick();
        }
        return done();
    }

    QTemporaryDir dir;
    QString linkPath;
};

void TestLinkPty::decodesKnownSequenceAndSurvivesMeterLoss() {
    MeterSimProcess sim;
    QVERIFY2(sim.start({"--script", dir.filePath("readings.txt"), "--instant", "--interval", "5",
                        "--corrupt-every", "4", "--link", linkPath}),
             qPrintable(sim.process.readAllStandardError()));
    QVERIFY(QFileInfo(sim.path).exists());

    LiveLink link;
    LinkSpy spy(link);
    QStringList decoded;
    spy.onUpdate = [&](const LiveUpdate& u) {
        decoded << u.reading.valueText + " " + u.reading.unitText;
    };
    int errors = 0;
    QObject::connect(&link, &LiveLink::portFailed, &link, [&](int code, const QString& message) {
        qWarning("port error %d: %s", code, qPrintable(message));
        ++errors;
    });

    link.setDeviceName(linkPath);
    link.openPort();
    QVERIFY2(link.portOpen(), qPrintable(link.lastOpenFailure()));
    link.writeToMeter(CmdA.bytes());

    // Two rounds of the script: a corrupted frame is acknowledged and dropped, and the meter
    // goes on with the next one; the link never goes down for it.
    QVERIFY(tickUntil(
        link, [&] { return decoded.size() >= 12; }, 20, 20000));
    QVERIFY(link.connected());
    QCOMPARE(link.meterModel(), 122);
    QCOMPARE(decoded.mid(0, 12), kExpected + kExpected);
    QVERIFY(link.framesRejected() >= 3);
    QVERIFY(!spy.calls.contains("connection 0 122"));
    // One Y for every frame, valid or not.
    QCOMPARE(link.framesAcknowledged(), link.framesDecoded() + link.framesRejected());
    QCOMPARE(errors, 0);

    // The meter goes away.
    sim.kill();
    const qint64 decodedBefore = link.framesDecoded();
    QVERIFY(tickUntil(
        link, [&] { return !link.connected(); }, 20, 20000));
    QCOMPARE(spy.panel1, QStringLiteral("No Connection"));
    QVERIFY(!link.portOpen());
    QVERIFY2(errors <= 1, qPrintable(QString::number(errors))); // closed on the first report
    // Nothing spins: more ticks produce no further errors.
    for (int i = 0; i < 10; ++i) {
        QTest::qWait(10);
        link.onTick();
    }
    QVERIFY(errors <= 1);
    QCOMPARE(link.framesDecoded(), decodedBefore);

    // A new meter appears at the same place (an adapter plugged in again): the timer step
    // opens the port again by itself, and K finds the meter.
    MeterSimProcess sim2;
    QVERIFY(
        sim2.start({"--steady", "11,1,2000", "--instant", "--interval", "5", "--link", linkPath}));
    QVERIFY(tickUntil(
        link, [&] { return link.portOpen(); }, 20, 20000));
    QVERIFY(errors <= 1); // looking for the device again is quiet
    QVERIFY(tickUntil(
        link, [&] { return link.connected() && link.framesDecoded() > decodedBefore + 3; }, 20,
        20000));
    QCOMPARE(link.reading().unitText, QStringLiteral("V"));
}

// The meter's adapter reports an identity (the system's list is replaced to say so, since a
// pseudo-terminal reports none). After it vanished, another adapter shows up at its old path
// and is left alone; the meter itself comes back under another path and is read there.
void TestLinkPty::meterFoundAgainByItsIdentityOnly() {
    const PortIdentity meter{0x0403, 0x6001, QStringLiteral("A10K3Q2F"), QString()};
    const PortIdentity stranger{0x0403, 0x6001, QStringLiteral("B77Z01QX"), QString()};
    const QString oldPath = dir.filePath("usbA");
    const QString newPath = dir.filePath("usbB");
    using Entry = SerialPortList::Entry;

    MeterSimProcess first;
    QVERIFY(first.start({"--steady", "11,1,5000", "--instant", "--interval", "10", "--link",
                         oldPath}));
    SerialPortList::setOverride(QList<Entry>{{"usbA", oldPath, meter}});
    LiveLink link;
    LinkSpy spy(link);
    link.setDeviceName(oldPath);
    link.openPort();
    QVERIFY2(link.portOpen(), qPrintable(link.lastOpenFailure()));
    link.writeToMeter(CmdA.bytes());
    QVERIFY(tickUntil(
        link, [&] { return link.connected() && link.framesDecoded() >= 3; }, 20, 20000));
    QVERIFY(link.portIdentity() == meter);

    first.kill();
    SerialPortList::setOverride(QList<Entry>{});
    QVERIFY(tickUntil(
        link, [&] { return !link.connected(); }, 20, 20000));

    // Another adapter at the old path: a meter that would answer, but it is not the one.
    MeterSimProcess other;
    QVERIFY(other.start({"--steady", "11,1,100", "--instant", "--interval", "10",
                         "--trace-commands", "--link", oldPath}));
    SerialPortList::setOverride(QList<Entry>{{"usbA", oldPath, stranger}});
    const int ticksBefore = spy.ticks;
    QVERIFY(tickUntil(
        link, [&] { return spy.ticks >= ticksBefore + 5; }, 20, 20000));
    QVERIFY(!link.portOpen());
    QCOMPARE(link.deviceName(), oldPath);

    // The meter under a new path.
    const qint64 decodedBefore = link.framesDecoded();
    MeterSimProcess second;
    QVERIFY(second.start({"--steady", "11,1,5000", "--instant", "--interval", "10", "--link",
                          newPath}));
    SerialPortList::setOverride(QList<Entry>{{"usbA", oldPath, stranger},
                                             {"usbB", newPath, meter}});
    QVERIFY(tickUntil(
        link, [&] { return link.connected() && link.framesDecoded() >= decodedBefore + 3; }, 20,
        20000));
    QCOMPARE(link.deviceName(), newPath);
    // The meter's values (5000 counts, give or take 300), not the other adapter's (100).
    QVERIFY2(link.reading().count >= 4700, qPrintable(QString::number(link.reading().count)));
    // The other adapter never heard a command.
    const QByteArray trace = other.process.readAllStandardOutput();
    QVERIFY2(trace.trimmed().isEmpty(), trace.constData());
}

void TestLinkPty::resynchronisesAndLosesNoNotification() {
    // The test plays the meter on a raw pseudo-terminal of its own.
    PtyPair meter;
    QVERIFY(meter.isValid());
    LiveLink link;
    LinkSpy spy(link);
    link.setDeviceName(meter.path());
    link.openPort();
    QVERIFY2(link.portOpen(), qPrintable(link.lastOpenFailure()));
    QByteArray acks;
    auto waitAcks = [&](int count) {
        QElapsedTimer t;
        t.start();
        while (acks.count(CmdY.bytes()) < count && t.elapsed() < 20000) {
            QTest::qWait(5);
            acks += meter.receive(0);
        }
        return acks.count(CmdY.bytes());
    };

    // Power-up garbage with a CR LF, then frames, all in one delivery: at most the garbage is
    // lost, and the link goes on acknowledging.
    QVERIFY(meter.send("\x7f\r\n"
                       "11234;002\r\n"
                       "ab\r\n"
                       "12345;002\r\n"));
    QCOMPARE(waitAcks(2), 2);
    QVERIFY(meter.send("10500;002\r\n"));
    QCOMPARE(waitAcks(3), 3);
    QCOMPARE(link.reading().count, 500);

    // The next frame arrives while the receive step waits in a message loop of its own (a
    // view busy for a moment). No further byte comes after it: the meter waits for its Y.
    bool once = false;
    spy.onUpdate = [&](const LiveUpdate&) {
        if (once)
            return;
        once = true;
        meter.send("12000;002\r\n");
        delay(100);
    };
    QVERIFY(meter.send("11000;002\r\n"));
    QCOMPARE(waitAcks(5), 5);
    QCOMPARE(link.reading().count, 2000);
}

// A meter with a bad frame in ten delivers, in the same time, at least 90 % of the frames of a
// clean one: each bad frame costs its own frame time, not a stall until the link watch calls
// the meter again. The meter's pace (a frame every 50 ms) sets both rates, not the machine's.
void TestLinkPty::badFramesCostOneFrameEach() {
    const auto framesIn = [this](const QStringList& faults, qint64* rejected) -> qint64 {
        MeterSimProcess sim;
        if (!sim.start(QStringList{"--steady", "11,1,2000", "--instant", "--interval", "50"} +
                       faults))
            return -1;
        LiveLink link;
        link.setDeviceName(sim.path);
        link.openPort();
        if (!link.portOpen())
            return -1;
        link.writeToMeter(CmdA.bytes());
        // From the first frame on, three seconds of ticks at the program's pace.
        if (!tickUntil(link, [&] { return link.framesDecoded() > 0; }, 50, 20000))
            return -1;
        const qint64 start = link.framesDecoded() + link.framesRejected();
        QElapsedTimer t;
        t.start();
        tickUntil(link, [&] { return t.elapsed() >= 3000; }, 250, 10000);
        *rejected = link.framesRejected();
        return link.framesDecoded() + link.framesRejected() - start;
    };
    qint64 rejected = 0;
    const qint64 clean = framesIn({}, &rejected);
    QVERIFY(clean > 20);
    const qint64 damaged = framesIn({"--corrupt-every", "10"}, &rejected);
    qInfo("in three seconds: %lld frames from a clean meter, %lld with one bad in ten (%lld bad)",
          static_cast<long long>(clean), static_cast<long long>(damaged),
          static_cast<long long>(rejected));
    QVERIFY2(rejected >= 3, qPrintable(QString::number(rejected)));
    QVERIFY2(damaged * 10 >= clean * 9,
             qPrintable(QStringLiteral("%1 frames with one bad in ten, %2 clean")
                            .arg(damaged)
                            .arg(clean)));
}

QTEST_GUILESS_MAIN(TestLinkPty)
#include "test_link_pty.moc"
