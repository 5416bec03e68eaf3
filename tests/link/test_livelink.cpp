#include "delay.h"
#include "support/fakeport.h"
#include "livelink.h"
#include "metercommand.h"
#include "support/recordingviews.h"
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
        views = std::make_unique<RecordingViews>();
        link = std::make_unique<LiveLink>(*views);
        link->setClock(&clock);
        link->livePort.setDeviceName(QStringLiteral("/dev/fake"));
        link->livePort.setActive(true);
    }
    void cleanup() {
        link.reset();
        views.reset();
        fake.reset();
    }

    // Receive step.
    void identityAndFrameInOneRead();
    void invalidFrameIsDroppedButKeepsLinkAlive();
    void frameAtStartOfBuffer();
    void noLineEndKeepsLastTenCharacters();
    void frameFollowedByHalfOfNext();
    void twoFramesInOneRead();
    void framesWithoutViewsOnlySetNewReading();
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
    std::unique_ptr<RecordingViews> views;
    std::unique_ptr<LiveLink> link;
    FakeClock clock;
    FakeDevice& dev() { return *fake->device; }
    void tick() {
        clock.advance(1000);
        link->onTick();
    }
};

void TestLiveLink::identityAndFrameInOneRead() {
    link->state.setMeterModel(120);
    dev().send("122\r" + kFrame);
    QCOMPARE(link->state.MeterModel(), 122);
    QCOMPARE(dev().writes, (QList<QByteArray>{CmdA.bytes(), CmdY.bytes()}));
    QCOMPARE(link->decoder.reading.Count, 1234);
    QVERIFY(link->NewReading());
    QVERIFY(link->RxBuffer().isEmpty());
    QVERIFY(link->state.Connected());
}

void TestLiveLink::invalidFrameIsDroppedButKeepsLinkAlive() {
    for (int i = 0; i < 3; ++i)
        tick(); // three ticks without a reading
    QCOMPARE(link->MissedTicks(), 3);
    dev().writes.clear();
    QByteArray bad = kFrame;
    bad[5] = 0x4B; // sixth character with high bits 4
    dev().send(bad + "123");
    QVERIFY(dev().writes.isEmpty()); // no Y
    QVERIFY(views->calls.filter("lcdShow").isEmpty());
    QVERIFY(!link->NewReading());
    QCOMPARE(link->RxBuffer(), QByteArray("123"));
    QCOMPARE(link->MissedTicks(), 0);
    QVERIFY(link->state.Connected());
    QCOMPARE(link->FramesRejected, 1);
}

void TestLiveLink::frameAtStartOfBuffer() {
    QCOMPARE(kFrame.size(), 11);
    dev().send(kFrame);
    QCOMPARE(dev().writes, QList<QByteArray>{CmdY.bytes()});
    QCOMPARE(link->decoder.reading.Count, 1234);
    QVERIFY(link->RxBuffer().isEmpty());
}

void TestLiveLink::noLineEndKeepsLastTenCharacters() {
    // Twenty characters without CR LF are no frame: what could still end as one stays (nine
    // characters and a CR).
    const QByteArray text = "abcdefghijklmnopqrstuvwxy"; // 25 characters
    dev().send(text.left(10));
    QCOMPARE(link->RxBuffer(), text.left(10)); // fewer than 20: unchanged
    dev().send(text.mid(10));
    QCOMPARE(link->RxBuffer(), text.right(10));
    QVERIFY(!link->state.Connected());
}

void TestLiveLink::frameFollowedByHalfOfNext() {
    // The meter's Y echo, a frame and the first half of the next frame in one read: nothing
    // after the CR LF may be lost.
    dev().send(CmdY.bytes() + kFrame + kFrame2.left(5));
    QCOMPARE(link->decoder.reading.Count, 1234);
    QCOMPARE(link->RxBuffer(), kFrame2.left(5));
    dev().send(kFrame2.mid(5));
    QCOMPARE(link->decoder.reading.Count, 2345);
    QCOMPARE(link->FramesDecoded, 2);
    QCOMPARE(dev().writes, (QList<QByteArray>{CmdY.bytes(), CmdY.bytes()}));
    QVERIFY(link->RxBuffer().isEmpty());
}

void TestLiveLink::twoFramesInOneRead() {
    QList<int> counts;
    views->onLcdShow = [&] { counts << link->decoder.reading.Count; };
    dev().send(kFrame + kFrame2);
    QCOMPARE(counts, (QList<int>{1234, 2345}));
    QCOMPARE(link->FramesAcknowledged, 2);
}

void TestLiveLink::framesWithoutViewsOnlySetNewReading() {
    views->recorder = views->lcd = views->status = views->gauge = false;
    dev().send(kFrame);
    QVERIFY(link->NewReading());
    QCOMPARE(link->FramesDecoded, 0);
    QCOMPARE(link->decoder.reading.Count, 0);
    QCOMPARE(dev().writes, QList<QByteArray>{CmdY.bytes()}); // still acknowledged
}

void TestLiveLink::linkUpShowsPortAndEnablesLoggerFor122Only() {
    link->recorder.setRecording(true);
    link->state.setMeterModel(120);
    dev().send(kFrame);
    QVERIFY(!views->noConnectionVisible);
    QVERIFY(!views->startEnabled);
    QVERIFY(views->stopEnabled);
    QCOMPARE(views->panel1, QStringLiteral("/dev/fake"));
    QVERIFY(!views->loggerEnabled);

    // Down again (the first tick still has the reading), then up with a 122.
    for (int i = 0; i < 6; ++i)
        tick();
    QVERIFY(!link->state.Connected());
    link->state.setMeterModel(122);
    views->recorder = false; // no recorder: the port path is not shown
    views->panel1.clear();
    dev().send(kFrame);
    QVERIFY(views->loggerEnabled);
    QVERIFY(views->panel1.isEmpty());
}

void TestLiveLink::closedPortEndsStepSilently() {
    link->livePort.setActive(false);
    link->onBytesReceived(); // InputCount on a closed port aborts the step
    QVERIFY(!link->RxBusy());
    QVERIFY(link->RxBuffer().isEmpty());
}

void TestLiveLink::reentrantNotificationIsNotLost() {
    // A view that runs a nested message loop while the next frame arrives.
    bool nested = false;
    views->onLcdShow = [&] {
        if (nested)
            return;
        nested = true;
        dev().send(kFrame2);
    };
    dev().send(kFrame);
    // The second notification is not nested into the first one, nor lost: it runs once
    // control is back in the message loop.
    QCOMPARE(link->FramesDecoded, 1);
    QTRY_COMPARE(link->FramesDecoded, 2);
    QCOMPARE(link->decoder.reading.Count, 2345);
}

void TestLiveLink::strayLineEndsCostAtMostOneFrame() {
    // Line noise ends in CR LF with fewer than nine characters before it, between whole frames
    // that arrive together (as pseudo-terminals and batching USB adapters deliver them).
    dev().send(kFrame + "\r\n" + "ab\r\n" + kFrame2);
    QCOMPARE(link->FramesDecoded, 2);
    QCOMPARE(link->FramesDropped, 2);
    // The link stays in step: every later frame is acknowledged, also after a cut frame.
    dev().send("345;0\r\n" + kFrame + kFrame2);
    QCOMPARE(link->FramesDecoded, 4);
    QCOMPARE(dev().writes.count(CmdY.bytes()), 4);
    QVERIFY(link->RxBuffer().isEmpty());

    // Nor does a live frame whose status characters read "122" pass for an identity answer
    // (which would start the stream again with A).
    dev().writes.clear();
    dev().send("112340122\r\n");
    QCOMPARE(dev().writes, QList<QByteArray>{CmdY.bytes()});
    QCOMPARE(link->decoder.reading.Count, 1234);

    // A closed and reopened port starts with an empty buffer.
    dev().send("1123", false);
    link->onBytesReceived();
    QVERIFY(!link->RxBuffer().isEmpty());
    link->livePort.setActive(false);
    link->livePort.setActive(true);
    QVERIFY(link->RxBuffer().isEmpty());
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
    QCOMPARE(link->FramesDecoded, n + 1);
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
    views->onLcdShow = [&] { deepest = std::max(deepest, depth); };
    tick();
    tick(); // the second K's write carries the answer
    QCOMPARE(dev().writes, (QList<QByteArray>{CmdK.bytes(), CmdK.bytes()}));
    QCOMPARE(link->FramesDecoded, 0);
    QTRY_COMPARE(link->FramesDecoded, 1);
    QCOMPARE(deepest, 0);
    QCOMPARE(dev().writes.mid(2), (QList<QByteArray>{CmdA.bytes(), CmdY.bytes()}));
}

void TestLiveLink::fiveMissedTicksDeclareNoConnection() {
    dev().send(kFrame);
    link->recorder.setRecording(true);
    tick(); // a tick with a reading
    QVERIFY(link->state.Connected());
    views->calls.clear();
    for (int i = 0; i < 4; ++i)
        tick();
    QVERIFY(link->state.Connected());
    QCOMPARE(link->MissedTicks(), 4);
    tick();
    QVERIFY(!link->state.Connected());
    QCOMPARE(link->MissedTicks(), 0);
    QCOMPARE(link->TickCounter(), 0);
    QVERIFY(link->recorder.Recording()); // a recording resumes with the next frames
    QCOMPARE(views->panel1, QStringLiteral("No Connection"));
    QVERIFY(views->noConnectionVisible);
    QVERIFY(!views->startEnabled && !views->stopEnabled);
    QVERIFY(!views->loggerEnabled);
    QCOMPARE(link->tickTimer.interval(), 1000);

    // Frames resume: the link comes back.
    dev().send(kFrame);
    QVERIFY(link->state.Connected());
    QVERIFY(!views->noConnectionVisible);
}

void TestLiveLink::kPollingWhileDown() {
    tick();
    tick();
    QCOMPARE(dev().writes, (QList<QByteArray>{CmdK.bytes(), CmdK.bytes()}));
    dev().writes.clear();
    dev().send("122\r");
    QCOMPARE(dev().writes, QList<QByteArray>{CmdA.bytes()});
    QCOMPARE(link->MissedTicks(), 0);
    // The identity is handled once: more bytes before the first frame send no second A.
    dev().send("x");
    QCOMPARE(dev().writes.count(CmdA.bytes()), 1);
    dev().send(kFrame);
    QVERIFY(link->state.Connected());
    QVERIFY(link->RxBuffer().isEmpty());
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
    QTEST(LiveLink::CorrectedInterval(interval, elapsed), "next");
}

void TestLiveLink::timerIntervalFollowsTicks() {
    dev().send(kFrame);
    link->onTick(); // first tick only takes the reference
    QCOMPARE(link->tickTimer.interval(), 1000);
    dev().send(kFrame);
    clock.advance(1050);
    link->onTick();
    QCOMPARE(link->tickTimer.interval(), 950);
    dev().send(kFrame);
    clock.advance(950);
    link->onTick();
    QCOMPARE(link->tickTimer.interval(), 1000);
}

void TestLiveLink::samplesOnlyOnTicksWithReadings() {
    link->recorder.setRecordInterval(3);
    link->recorder.setRecording(true);
    // Ticks 1..2 with readings: the counter has not reached the interval.
    for (int i = 0; i < 2; ++i) {
        dev().send(kFrame);
        tick();
    }
    QCOMPARE(views->samples, 0);
    // Tick 3 without a reading: no sample, none made up later.
    tick();
    QCOMPARE(views->samples, 0);
    QCOMPARE(link->TickCounter(), 3);
    // Tick 4 with a reading: the sample comes now and the counter restarts.
    dev().send(kFrame);
    tick();
    QCOMPARE(views->samples, 1);
    QCOMPARE(link->TickCounter(), 0);
    // Interval 0: a sample on every tick with a reading.
    link->recorder.setRecordInterval(0);
    for (int i = 0; i < 3; ++i) {
        dev().send(kFrame);
        tick();
    }
    tick();
    QCOMPARE(views->samples, 4);
}

void TestLiveLink::scheduleStartsAndStopsRecording() {
    link->schedule.setArmed(true);
    link->schedule.setTimes(clock.days + SecondsToDays(2.5), clock.days + SecondsToDays(5.5));
    link->schedule.setInterval(2);
    dev().send(kFrame);
    tick(); // before the start
    QVERIFY(!link->recorder.Recording());
    tick(); // no reading: the schedule waits
    QVERIFY(!link->recorder.Recording());
    dev().send(kFrame);
    tick(); // +3 s: starts, and samples on this tick
    QVERIFY(link->recorder.Recording());
    QCOMPARE(link->recorder.RecordInterval(), 2);
    QCOMPARE(views->samples, 1);
    QVERIFY(views->calls.contains("recorderShowRate 2"));
    dev().send(kFrame);
    tick(); // +4 s
    dev().send(kFrame);
    tick(); // +5 s: second sample
    QCOMPARE(views->samples, 2);
    dev().send(kFrame);
    tick(); // +6 s: after the stop
    QVERIFY(!link->recorder.Recording());
    QVERIFY(!link->schedule.Armed());
    QCOMPARE(views->samples, 2);
}

void TestLiveLink::sendCommandWithEcho() {
    link->livePort.OnRxChar = nullptr;
    dev().echo = true;
    dev().input = "junk";
    QElapsedTimer t;
    t.start();
    QVERIFY(SendCommand(link->livePort, MeterCommand('C')));
    QVERIFY(t.elapsed() >= 500);
    QVERIFY(t.elapsed() < 1000);
    QCOMPARE(dev().writes.size(), 1); // the junk was cleared first
}

void TestLiveLink::sendCommandWithoutEcho() {
    link->livePort.OnRxChar = nullptr;
    QElapsedTimer t;
    t.start();
    dev().input = "";
    QVERIFY(!SendCommand(link->livePort, MeterCommand('P')));
    QCOMPARE(dev().writes.size(), 3);
    QVERIFY(t.elapsed() >= 1500);
    // A wrong answer counts as no echo; extra bytes after the first six stay waiting.
    dev().writes.clear();
    dev().echo = true;
    link->livePort.OnRxChar = nullptr;
    QVERIFY(SendCommand(link->livePort, MeterCommand('Q')));
    dev().input += "tail";
    QCOMPARE(link->livePort.InputCount(), 4);
}

void TestLiveLink::sendCommandOnClosedPortAborts() {
    link->livePort.setActive(false);
    QVERIFY_THROWS_EXCEPTION(SilentAbort, SendCommand(link->livePort, MeterCommand('C')));
    // A port without an error handler lets the error itself through.
    MeterPort bare;
    QVERIFY_THROWS_EXCEPTION(PortError, bare.InputCount());
    try {
        bare.InputCount();
    } catch (const PortError& e) {
        QCOMPARE(e.Message, QStringLiteral("Can't perform this operation on a closed port"));
    }
}

void TestLiveLink::delayProcessesEvents() {
    bool fired = false;
    QTimer::singleShot(20, [&] { fired = true; });
    QElapsedTimer t;
    t.start();
    Delay(150);
    QVERIFY(fired);
    QVERIFY(t.elapsed() >= 150);
    QVERIFY(t.elapsed() < 400);
}

QTEST_GUILESS_MAIN(TestLiveLink)
#include "test_livelink.moc"
