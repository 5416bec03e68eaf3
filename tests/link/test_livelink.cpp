#include "delay.h"
#include "support/fakeport.h"
#include "livelink.h"
#include "metercommand.h"
#include "recorder.h"
#include "support/linkspy.h"
#include "support/sanitizedbuild.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

class FakeClock : public Clock {
public:
    qint64 ms = 100000;
    double days = 46000.5;
    qint64 monotonicMs() const override { return ms; }
    double now() const override { return days; }
    void advance(qint64 step) {
        ms += step;
        days += step / kMsPerDay;
    }
};

const QByteArray kFrame = "11234;002\r\n";  // 1.234 V
const QByteArray kFrame2 = "12345;002\r\n"; // 2.345 V

} // namespace

class TestLiveLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        fake = std::make_unique<FakeDeviceScope>();
        link = std::make_unique<LiveLink>();
        spy = std::make_unique<LinkSpy>(*link);
        link->setClock(&clock);
        link->setDeviceName(QStringLiteral("/dev/fake"));
        link->openPort();
    }
    void cleanup() {
        m_commandPort.reset();
        spy.reset();
        link.reset();
        fake.reset();
    }

    // Receive step.
    void identityAndFrameInOneRead();
    void invalidFrameIsDroppedButKeepsLinkAlive();
    void frameAtStartOfBuffer();
    void noLineEndKeepsLastTenCharacters();
    void frameFollowedByHalfOfNext();
    void twoFramesInOneRead();
    void everyValidFrameIsDecodedAndHandedOn();
    void linkUpShowsPortAndEnablesLoggerFor122Only();
    void closedPortEndsStepSilently();
    void reentrantNotificationIsNotLost();
    void strayLineEndsCostAtMostOneFrame();
    void manyFramesInOneNotificationAreLinear();
    void notificationInsideAWriteIsNotNested();

    // Main-timer step.
    void fiveMissedTicksDeclareNoConnection();
    void kPollingWhileDown();
    void driftCorrection_data();
    void driftCorrection();
    void timerIntervalFollowsTicks();
    void samplesOnlyOnTicksWithReadings();
    void scheduleStartsAndStopsRecording();

    // Command transactions.
    void sendCommandWithEcho();
    void sendCommandWithoutEcho();
    void sendCommandOnClosedPortAborts();
    void delayProcessesEvents();

private:
    std::unique_ptr<FakeDeviceScope> fake;
    std::unique_ptr<LiveLink> link;
    std::unique_ptr<LinkSpy> spy;
    FakeClock clock;
    FakeDevice& dev() { return *fake->device; }
    // A port of its own on the meter's device, for command transactions; the live link lets
    // go of the device first. Port faults end the transaction silently.
    MeterPort& commandPort() {
        link->closePort();
        m_commandPort = std::make_unique<MeterPort>();
        m_commandPort->onError = [](MeterPort*, const PortError&, PortErrorAction& action) {
            action = caAbort;
        };
        m_commandPort->setDeviceName(QStringLiteral("/dev/fake"));
        m_commandPort->setActive(true);
        return *m_commandPort;
    }
    std::unique_ptr<MeterPort> m_commandPort;
    void tick() {
        clock.advance(1000);
        link->onTick();
    }
};

void TestLiveLink::identityAndFrameInOneRead() {
    dev().send("120\r" + kFrame);
    QCOMPARE(link->meterModel(), 120);
    QCOMPARE(dev().writes, (QList<QByteArray>{CmdA.bytes(), CmdY.bytes()}));
    QCOMPARE(link->reading().count, 1234);
    QVERIFY(link->readingSinceTick());
    QVERIFY(link->pendingBytes().isEmpty());
    QVERIFY(link->connected());
}

void TestLiveLink::invalidFrameIsDroppedButKeepsLinkAlive() {
    for (int i = 0; i < 3; ++i)
        tick(); // three ticks without a reading
    QCOMPARE(link->missedTicks(), 3);
    dev().writes.clear();
    QByteArray bad = kFrame;
    bad[5] = 0x4B; // sixth character with high bits 4
    dev().send(bad + "123");
    // Acknowledged all the same, so that the meter sends its next frame, and not decoded.
    QCOMPARE(dev().writes, QList<QByteArray>{CmdY.bytes()});
    QVERIFY(spy->calls.filter("reading").isEmpty());
    QVERIFY(!link->readingSinceTick());
    QCOMPARE(link->pendingBytes(), QByteArray("123"));
    QCOMPARE(link->missedTicks(), 0);
    QVERIFY(link->connected());
    QCOMPARE(link->framesRejected(), 1);
}

void TestLiveLink::frameAtStartOfBuffer() {
    QCOMPARE(kFrame.size(), 11);
    dev().send(kFrame);
    QCOMPARE(dev().writes, QList<QByteArray>{CmdY.bytes()});
    QCOMPARE(link->reading().count, 1234);
    QVERIFY(link->pendingBytes().isEmpty());
}

void TestLiveLink::noLineEndKeepsLastTenCharacters() {
    // Twenty characters without CR LF are no frame: what could still end as one stays (nine
    // characters and a CR).
    const QByteArray text = "abcdefghijklmnopqrstuvwxy"; // 25 characters
    dev().send(text.left(10));
    QCOMPARE(link->pendingBytes(), text.left(10)); // fewer than 20: unchanged
    dev().send(text.mid(10));
    QCOMPARE(link->pendingBytes(), text.right(10));
    QVERIFY(!link->connected());
}

void TestLiveLink::frameFollowedByHalfOfNext() {
    // The meter's Y echo, a frame and the first half of the next frame in one read: nothing
    // after the CR LF may be lost.
    dev().send(CmdY.bytes() + kFrame + kFrame2.left(5));
    QCOMPARE(link->reading().count, 1234);
    QCOMPARE(link->pendingBytes(), kFrame2.left(5));
    dev().send(kFrame2.mid(5));
    QCOMPARE(link->reading().count, 2345);
    QCOMPARE(link->framesDecoded(), 2);
    QCOMPARE(dev().writes, (QList<QByteArray>{CmdY.bytes(), CmdY.bytes()}));
    QVERIFY(link->pendingBytes().isEmpty());
}

void TestLiveLink::twoFramesInOneRead() {
    QList<int> counts;
    spy->onUpdate = [&](const LiveUpdate& u) { counts << u.reading.count; };
    dev().send(kFrame + kFrame2);
    QCOMPARE(counts, (QList<int>{1234, 2345}));
    QCOMPARE(link->framesAcknowledged(), 2);
}

void TestLiveLink::everyValidFrameIsDecodedAndHandedOn() {
    // Nobody needs to be watching for a frame to be decoded: what the link knows of the meter
    // does not depend on who listens.
    LiveLink quiet;
    quiet.setDeviceName(QStringLiteral("/dev/fake"));
    quiet.openPort();
    dev().send(kFrame);
    QVERIFY(quiet.readingSinceTick());
    QCOMPARE(quiet.framesDecoded(), 1);
    QCOMPARE(quiet.reading().count, 1234);
    QCOMPARE(dev().writes, QList<QByteArray>{CmdY.bytes()}); // acknowledged
}

void TestLiveLink::linkUpShowsPortAndEnablesLoggerFor122Only() {
    dev().send("120\r");
    dev().send(kFrame);
    QCOMPARE(spy->callsStarting("connection"), QStringList{"connection 1 120"});
    QCOMPARE(spy->panel1, QStringLiteral("/dev/fake"));

    // Down again (the first tick still has the reading), then up with a 122.
    for (int i = 0; i < 6; ++i)
        tick();
    QVERIFY(!link->connected());
    QCOMPARE(spy->callsStarting("connection").last(), QStringLiteral("connection 0 120"));
    dev().send("122\r");
    dev().send(kFrame);
    QCOMPARE(spy->callsStarting("connection").last(), QStringLiteral("connection 1 122"));
    QCOMPARE(spy->callsStarting("connection").size(), 3);
}

void TestLiveLink::closedPortEndsStepSilently() {
    link->closePort();
    link->onBytesReceived(); // inputCount on a closed port aborts the step
    QVERIFY(!link->receiveStepRunning());
    QVERIFY(link->pendingBytes().isEmpty());
}

void TestLiveLink::reentrantNotificationIsNotLost() {
    // A view that runs a nested message loop while the next frame arrives.
    bool nested = false;
    spy->onUpdate = [&](const LiveUpdate&) {
        if (nested)
            return;
        nested = true;
        dev().send(kFrame2);
    };
    dev().send(kFrame);
    // The second notification is not nested into the first one, nor lost: it runs once
    // control is back in the message loop.
    QCOMPARE(link->framesDecoded(), 1);
    QTRY_COMPARE(link->framesDecoded(), 2);
    QCOMPARE(link->reading().count, 2345);
}

void TestLiveLink::strayLineEndsCostAtMostOneFrame() {
    // Line noise ends in CR LF with fewer than nine characters before it, between whole frames
    // that arrive together (as pseudo-terminals and batching USB adapters deliver them).
    dev().send(kFrame + "\r\n" + "ab\r\n" + kFrame2);
    QCOMPARE(link->framesDecoded(), 2);
    QCOMPARE(link->framesDropped(), 2);
    // The link stays in step: every later frame is acknowledged, also after a cut frame.
    dev().send("345;0\r\n" + kFrame + kFrame2);
    QCOMPARE(link->framesDecoded(), 4);
    QCOMPARE(dev().writes.count(CmdY.bytes()), 4);
    QVERIFY(link->pendingBytes().isEmpty());

    // Nor does a live frame whose status characters read "122" pass for an identity answer
    // (which would start the stream again with A).
    dev().writes.clear();
    dev().send("112340122\r\n");
    QCOMPARE(dev().writes, QList<QByteArray>{CmdY.bytes()});
    QCOMPARE(link->reading().count, 1234);

    // A closed and reopened port starts with an empty buffer.
    dev().send("1123", false);
    link->onBytesReceived();
    QVERIFY(!link->pendingBytes().isEmpty());
    link->closePort();
    link->openPort();
    QVERIFY(link->pendingBytes().isEmpty());
}

void TestLiveLink::manyFramesInOneNotificationAreLinear() {
    // Thousands of frames held up somewhere arrive in one notification, followed by an
    // identity answer: one pass, one Y per frame, no A (the link is up).
    dev().send(kFrame);
    dev().writes.clear();
    const int n = 32000;
    QByteArray burst;
    burst.reserve(n * kFrame.size() + 4);
    for (int i = 0; i < n; ++i)
        burst += (i % 2 ? kFrame2 : kFrame);
    burst += "122\r";
    QElapsedTimer t;
    t.start();
    dev().send(burst);
    const qint64 ms = t.elapsed();
    qInfo("%d frames in one notification: %lld ms", n, ms);
    QVERIFY2(ms < 500 * TimeLimitFactor, qPrintable(QString::number(ms)));
    QCOMPARE(link->framesDecoded(), n + 1);
    QCOMPARE(dev().writes.size(), n);
    QCOMPARE(dev().writes.count(CmdA.bytes()), 0);
}

void TestLiveLink::notificationInsideAWriteIsNotNested() {
    // The meter answers K while the program still waits for its K to leave: the device
    // announces the answer from inside the write. The receive step must not run in there
    // (it would write A in the middle of the timer step's K), but right after.
    int depth = 0;
    int deepest = 0;
    bool answered = false;
    dev().onWaitWritten = [&] {
        ++depth;
        if (!answered && dev().written().endsWith(CmdK.bytes())) {
            answered = true;
            dev().send("122\r" + kFrame);
        }
        --depth;
    };
    spy->onUpdate = [&](const LiveUpdate&) { deepest = std::max(deepest, depth); };
    tick();
    tick(); // the second K's write carries the answer
    QCOMPARE(dev().writes, (QList<QByteArray>{CmdK.bytes(), CmdK.bytes()}));
    QCOMPARE(link->framesDecoded(), 0);
    QTRY_COMPARE(link->framesDecoded(), 1);
    QCOMPARE(deepest, 0);
    QCOMPARE(dev().writes.mid(2), (QList<QByteArray>{CmdA.bytes(), CmdY.bytes()}));
}

void TestLiveLink::fiveMissedTicksDeclareNoConnection() {
    Recorder recorder(*link);
    dev().send(kFrame);
    recorder.start();
    tick(); // a tick with a reading
    QVERIFY(link->connected());
    spy->calls.clear();
    for (int i = 0; i < 4; ++i)
        tick();
    QVERIFY(link->connected());
    QCOMPARE(link->missedTicks(), 4);
    tick();
    QVERIFY(!link->connected());
    QCOMPARE(link->missedTicks(), 0);
    QCOMPARE(recorder.ticksSinceSample(), 0);
    QVERIFY(recorder.recording()); // a recording resumes with the next frames
    QCOMPARE(spy->panel1, QStringLiteral("No Connection"));
    QVERIFY(!spy->connected);
    QVERIFY(!recorder.canStart() && !recorder.canStop());
    QCOMPARE(link->tickInterval(), 1000);

    // Frames resume: the link comes back.
    dev().send(kFrame);
    QVERIFY(link->connected());
    QVERIFY(spy->connected);
    QVERIFY(!recorder.canStart() && recorder.canStop());
}

void TestLiveLink::kPollingWhileDown() {
    tick();
    tick();
    QCOMPARE(dev().writes, (QList<QByteArray>{CmdK.bytes(), CmdK.bytes()}));
    dev().writes.clear();
    dev().send("122\r");
    QCOMPARE(dev().writes, QList<QByteArray>{CmdA.bytes()});
    QCOMPARE(link->missedTicks(), 0);
    // The identity is handled once: more bytes before the first frame send no second A.
    dev().send("x");
    QCOMPARE(dev().writes.count(CmdA.bytes()), 1);
    dev().send(kFrame);
    QVERIFY(link->connected());
    QVERIFY(link->pendingBytes().isEmpty());
    dev().writes.clear();
    tick();
    QVERIFY(dev().writes.isEmpty()); // no K while connected
}

void TestLiveLink::driftCorrection_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("elapsed");
    QTest::addColumn<int>("next");
    QTest::newRow("on time") << 1000 << 1000 << 1000;
    QTest::newRow("50 ms late") << 1000 << 1050 << 950;
    QTest::newRow("early") << 950 << 950 << 1000;
    QTest::newRow("very late") << 1000 << 1500 << 500;
    QTest::newRow("later still") << 1000 << 1700 << 500;
    QTest::newRow("just above") << 1000 << 1499 << 501;
}

void TestLiveLink::driftCorrection() {
    QFETCH(int, interval);
    QFETCH(int, elapsed);
    QTEST(LiveLink::correctedInterval(interval, elapsed), "next");
}

void TestLiveLink::timerIntervalFollowsTicks() {
    dev().send(kFrame);
    link->onTick(); // first tick only takes the reference
    QCOMPARE(link->tickInterval(), 1000);
    dev().send(kFrame);
    clock.advance(1050);
    link->onTick();
    QCOMPARE(link->tickInterval(), 950);
    dev().send(kFrame);
    clock.advance(950);
    link->onTick();
    QCOMPARE(link->tickInterval(), 1000);
}

void TestLiveLink::samplesOnlyOnTicksWithReadings() {
    Recorder recorder(*link);
    int samples = 0;
    connect(&recorder, &Recorder::sampleTaken, this, [&] { ++samples; });
    recorder.setRecordInterval(3);
    recorder.start();
    // Ticks 1..2 with readings: the counter has not reached the interval.
    for (int i = 0; i < 2; ++i) {
        dev().send(kFrame);
        tick();
    }
    QCOMPARE(samples, 0);
    // Tick 3 without a reading: no sample, none made up later.
    tick();
    QCOMPARE(samples, 0);
    QCOMPARE(recorder.ticksSinceSample(), 3);
    // Tick 4 with a reading: the sample comes now and the counter restarts.
    dev().send(kFrame);
    tick();
    QCOMPARE(samples, 1);
    QCOMPARE(recorder.ticksSinceSample(), 0);
    // Interval 0: a sample on every tick with a reading.
    recorder.setRecordInterval(0);
    for (int i = 0; i < 3; ++i) {
        dev().send(kFrame);
        tick();
    }
    tick();
    QCOMPARE(samples, 4);
}

void TestLiveLink::scheduleStartsAndStopsRecording() {
    Recorder recorder(*link);
    int samples = 0;
    QList<int> rates;
    connect(&recorder, &Recorder::sampleTaken, this, [&] { ++samples; });
    connect(&recorder, &Recorder::recordIntervalChanged, this, [&](int s) { rates << s; });
    RecorderSchedule schedule;
    schedule.setArmed(true);
    schedule.setTimes(clock.days + SecondsToDays(2.5), clock.days + SecondsToDays(5.5));
    schedule.setInterval(2);
    recorder.setSchedule(schedule);
    dev().send(kFrame);
    tick(); // before the start
    QVERIFY(!recorder.recording());
    tick(); // no reading: the schedule waits
    QVERIFY(!recorder.recording());
    dev().send(kFrame);
    tick(); // +3 s: starts, and samples on this tick
    QVERIFY(recorder.recording());
    QCOMPARE(recorder.recordInterval(), 2);
    QCOMPARE(samples, 1);
    QCOMPARE(rates, QList<int>{2});
    dev().send(kFrame);
    tick(); // +4 s
    dev().send(kFrame);
    tick(); // +5 s: second sample
    QCOMPARE(samples, 2);
    dev().send(kFrame);
    tick(); // +6 s: after the stop
    QVERIFY(!recorder.recording());
    QVERIFY(!recorder.schedule().armed());
    QCOMPARE(samples, 2);
}

void TestLiveLink::sendCommandWithEcho() {
    MeterPort& port = commandPort();
    dev().echo = true;
    dev().input = "junk";
    QElapsedTimer t;
    t.start();
    QVERIFY(sendCommand(port, MeterCommand('C')));
    QVERIFY(t.elapsed() >= 500);
    QVERIFY(t.elapsed() < 1000);
    QCOMPARE(dev().writes.size(), 1); // the junk was cleared first
}

void TestLiveLink::sendCommandWithoutEcho() {
    MeterPort& port = commandPort();
    QElapsedTimer t;
    t.start();
    dev().input = "";
    QVERIFY(!sendCommand(port, MeterCommand('P')));
    QCOMPARE(dev().writes.size(), 3);
    QVERIFY(t.elapsed() >= 1500);
    // A wrong answer counts as no echo; extra bytes after the first six stay waiting.
    dev().writes.clear();
    dev().echo = true;
    QVERIFY(sendCommand(port, MeterCommand('Q')));
    dev().input += "tail";
    QCOMPARE(port.inputCount(), 4);
}

void TestLiveLink::sendCommandOnClosedPortAborts() {
    MeterPort& port = commandPort();
    port.setActive(false);
    QVERIFY_THROWS_EXCEPTION(SilentAbort, sendCommand(port, MeterCommand('C')));
    // A port without an error handler lets the error itself through.
    MeterPort bare;
    QVERIFY_THROWS_EXCEPTION(PortError, bare.inputCount());
    try {
        bare.inputCount();
    } catch (const PortError& e) {
        QCOMPARE(e.message, QStringLiteral("Can't perform this operation on a closed port"));
    }
}

void TestLiveLink::delayProcessesEvents() {
    bool fired = false;
    QTimer::singleShot(20, [&] { fired = true; });
    QElapsedTimer t;
    t.start();
    delay(150);
    QVERIFY(fired);
    QVERIFY(t.elapsed() >= 150);
    QVERIFY(t.elapsed() < 400);
}

QTEST_GUILESS_MAIN(TestLiveLink)
#include "test_livelink.moc"
