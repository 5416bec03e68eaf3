// The meter emulator, driven with made-up times: commands, echoes, the live stream and its
// pacing, and the fault knobs.

#include "meteremulator.h"
#include "readingsource.h"

#include <QtTest>

namespace {

QByteArray command(char letter, uchar p1 = 0, uchar p2 = 0, uchar p3 = 0) {
    QByteArray c(6, '\0');
    c[0] = 0x02;
    c[1] = letter;
    c[2] = char(p1);
    c[3] = char(p2);
    c[4] = char(p3);
    c[5] = 0x03;
    return c;
}

// A live frame as the PC's receive step accepts it: nine characters 0x30..0x3F, CR, LF.
bool isValidFrame(const QByteArray& f) {
    if (f.size() != 11 || !f.endsWith("\r\n"))
        return false;
    for (int i = 0; i < 9; ++i)
        if ((uchar(f.at(i)) & 0xF0) != 0x30)
            return false;
    return true;
}

// A steady reading, so frames are predictable: function 11, range 1, DC, auto.
std::unique_ptr<ReadingSource> fixedReading() {
    LiveFrame f;
    f.function = 11;
    f.range = 1;
    f.count = 1234;
    return ReadingSource::script({f.encode()});
}

// An emulator that delivers at once, with fixed readings.
std::unique_ptr<MeterEmulator> instantMeter(int model = 122) {
    auto m = std::make_unique<MeterEmulator>(model);
    m->setPaced(false);
    m->setReadings(fixedReading());
    return m;
}

// Runs the live stream for `count` frames (A, then Y after each), echoes withheld, and returns
// each frame as it arrived (everything up to and including its LF).
QList<QByteArray> streamFrames(MeterEmulator& m, int count) {
    m.faults().withholdEcho = true;
    m.setFrameIntervalMs(0);
    QList<QByteArray> frames;
    qint64 t = 0;
    m.write(command('A'), t);
    QByteArray buffer;
    while (frames.size() < count && t < 100000) {
        buffer += m.read(t);
        const qsizetype lf = buffer.indexOf('\n');
        if (lf >= 0) {
            frames.append(buffer.left(lf + 1));
            buffer.remove(0, lf + 1);
            m.write(command('Y'), t);
        }
        t += 1;
    }
    return frames;
}

} // namespace

class TestMeterEmulator : public QObject {
    Q_OBJECT

private slots:
    void identity_data();
    void identity();
    void echoComesBeforeTheAnswer();
    void withheldEcho();
    void unknownLetterIsEchoedOnly();
    void startLiveSendsAFrameAtOnce();
    void noNextFrameWithoutAck();
    void ackWithoutFrameDoesNothing();
    void frameIntervalRespected();
    void lateAckSendsAtOnce();
    void floodSendsOnAck();
    void callStopsTheStreamAndAStartsItAgain();
    void pacedBytesTakeTheirTime();
    void pacedFrameAfterInterval();
    void instantOutputIsThereAtOnce();
    void nothingPendingMeansMinusOne();
    void commandSplitAcrossWrites();
    void garbageBetweenCommandsIsSkipped_data();
    void garbageBetweenCommandsIsSkipped();
    void corruptFaultHitsEveryNthFrame_data();
    void corruptFaultHitsEveryNthFrame();
    void dropFaultShortensEveryNthFrame();
    void silentMeterSendsNothing();
    void recordingBit_data();
    void recordingBit();
    void framesComeFromTheSource();
    void resetForgetsWhatIsInFlight();
    void settingsAreKept();
};

void TestMeterEmulator::identity_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("120") << 120 << QByteArray("120\r");
    QTest::newRow("122") << 122 << QByteArray("122\r");
}

void TestMeterEmulator::identity() {
    QFETCH(int, model);
    QFETCH(QByteArray, answer);

    auto m = instantMeter(model);
    QCOMPARE(m->model(), model);
    m->write(command('K'), 5);
    QCOMPARE(m->read(5), QByteArray(command('K') + answer));

    // The model can be changed on a running emulator.
    auto other = instantMeter(122);
    other->setModel(model);
    other->write(command('K'), 0);
    QCOMPARE(other->read(0), QByteArray(command('K') + answer));
}

void TestMeterEmulator::echoComesBeforeTheAnswer() {
    auto m = instantMeter();
    const QByteArray k = command('K', 0x11, 0x22, 0x33);
    m->write(k, 0);
    const QByteArray out = m->read(0);
    QVERIFY(out.startsWith(k)); // the same 6 bytes, parameters included
    QCOMPARE(out.mid(6), QByteArray("122\r"));
}

void TestMeterEmulator::withheldEcho() {
    auto m = instantMeter();
    m->faults().withholdEcho = true;
    m->write(command('K'), 0);
    QCOMPARE(m->read(0), QByteArray("122\r"));
    m->write(command('A'), 1);
    const QByteArray frame = m->read(1);
    QVERIFY2(isValidFrame(frame), frame.constData());
    m->write(command('Y'), 2);
    QVERIFY(m->read(1000).size() == 11); // the command was carried out all the same
}

void TestMeterEmulator::unknownLetterIsEchoedOnly() {
    auto m = instantMeter();
    m->write(command('Z', 1, 2, 3), 0);
    QCOMPARE(m->read(0), command('Z', 1, 2, 3));
    QCOMPARE(m->nextOutputMs(), -1);
    QVERIFY(!m->streaming());
}

void TestMeterEmulator::startLiveSendsAFrameAtOnce() {
    auto m = instantMeter();
    QVERIFY(!m->streaming());
    m->write(command('K'), 0);
    m->read(0);
    m->write(command('A'), 10);
    const QByteArray out = m->read(10);
    QCOMPARE(out.left(6), command('A'));
    QCOMPARE(out.mid(6), QByteArray("11234;00:\r\n"));
    QVERIFY(isValidFrame(out.mid(6)));
    QVERIFY(m->streaming());
    QCOMPARE(m->framesSent(), 1);
}

void TestMeterEmulator::noNextFrameWithoutAck() {
    auto m = instantMeter();
    m->setFrameIntervalMs(250);
    m->write(command('A'), 0);
    QCOMPARE(m->read(0).size(), 6 + 11);
    QCOMPARE(m->nextOutputMs(), -1);
    QCOMPARE(m->read(60000), QByteArray());
    QCOMPARE(m->framesSent(), 1);
    QCOMPARE(m->acksReceived(), 0);
    QVERIFY(m->streaming());
}

void TestMeterEmulator::ackWithoutFrameDoesNothing() {
    auto m = instantMeter();
    m->write(command('Y'), 0); // no stream
    QCOMPARE(m->read(1000), command('Y'));
    QCOMPARE(m->framesSent(), 0);

    m->write(command('A'), 2000);
    m->read(2000);
    m->write(command('Y'), 2010); // acknowledges the frame: next one planned
    m->write(command('Y'), 2020); // a second Y for the same frame changes nothing
    QCOMPARE(m->read(5000), QByteArray(command('Y') + command('Y') + "11234;00:\r\n"));
    QCOMPARE(m->framesSent(), 2);
    QCOMPARE(m->acksReceived(), 3);
}

void TestMeterEmulator::frameIntervalRespected() {
    auto m = instantMeter();
    m->setFrameIntervalMs(250);
    m->write(command('A'), 1000);
    m->read(1000);
    m->write(command('Y'), 1040);
    QCOMPARE(m->read(1040), command('Y'));
    // The next frame starts 250 ms after the previous one, and the host is told when.
    QCOMPARE(m->nextOutputMs(), 1250);
    QCOMPARE(m->read(1249), QByteArray());
    QCOMPARE(m->framesSent(), 1);
    QCOMPARE(m->read(1250), QByteArray("11234;00:\r\n"));
    QCOMPARE(m->framesSent(), 2);
    QCOMPARE(m->nextOutputMs(), -1);
}

void TestMeterEmulator::lateAckSendsAtOnce() {
    auto m = instantMeter();
    m->setFrameIntervalMs(250);
    m->write(command('A'), 0);
    m->read(0);
    m->write(command('Y'), 900); // long after the interval: the frame follows the echo
    QCOMPARE(m->read(900), QByteArray(command('Y') + "11234;00:\r\n"));
}

void TestMeterEmulator::floodSendsOnAck() {
    auto m = instantMeter();
    m->setFrameIntervalMs(0);
    m->write(command('A'), 0);
    m->read(0);
    for (int i = 1; i <= 100; ++i) {
        m->write(command('Y'), i);
        QCOMPARE(m->read(i), QByteArray(command('Y') + "11234;00:\r\n"));
    }
    QCOMPARE(m->framesSent(), 101);
    QCOMPARE(m->acksReceived(), 100);
}

void TestMeterEmulator::callStopsTheStreamAndAStartsItAgain() {
    auto m = instantMeter();
    m->setFrameIntervalMs(0);
    m->write(command('A'), 0);
    m->read(0);
    m->write(command('K'), 10);
    QCOMPARE(m->read(10), QByteArray(command('K') + "122\r"));
    QVERIFY(!m->streaming());
    m->write(command('Y'), 20);
    QCOMPARE(m->read(1000), command('Y')); // no frame: the stream was stopped
    m->write(command('A'), 2000);
    QCOMPARE(m->read(2000), QByteArray(command('A') + "11234;00:\r\n"));
    QVERIFY(m->streaming());
}

void TestMeterEmulator::pacedBytesTakeTheirTime() {
    MeterEmulator m;
    QVERIFY(m.paced()); // the default
    m.setReadings(fixedReading());
    // 6 echo bytes + 11 frame bytes = 17 bytes at 1.0417 ms: the last arrives at 17.7 ms.
    m.write(command('A'), 100);
    QCOMPARE(m.nextOutputMs(), 102); // the first byte has left at 101.04
    QCOMPARE(m.read(100), QByteArray());
    QCOMPARE(m.read(105).size(), 4); // bytes at 101.0, 102.1, 103.1, 104.2
    QCOMPARE(m.nextOutputMs(), 106); // 105.2
    QCOMPARE(m.read(117).size(), 16 - 4);
    QCOMPARE(m.nextOutputMs(), 118); // 117.7
    QCOMPARE(m.read(118), QByteArray("\n"));
    QCOMPARE(m.nextOutputMs(), -1);
}

void TestMeterEmulator::pacedFrameAfterInterval() {
    MeterEmulator m;
    m.setReadings(fixedReading());
    m.setFrameIntervalMs(250);
    m.write(command('A'), 0);
    QCOMPARE(m.read(18).size(), 17);
    m.write(command('Y'), 50);
    QCOMPARE(m.read(57).size(), 6); // the echo: 50 + 6.25 ms
    // The frame is produced at 250 and its first byte has left at 251.04.
    QCOMPARE(m.nextOutputMs(), 252);
    QCOMPARE(m.read(251), QByteArray());
    const QByteArray frame = m.read(262);
    QCOMPARE(frame, QByteArray("11234;00:\r\n")); // 250 + 11.46 ms
}

void TestMeterEmulator::instantOutputIsThereAtOnce() {
    auto m = instantMeter();
    m->write(command('K'), 42);
    QCOMPARE(m->nextOutputMs(), 42);
    QCOMPARE(m->read(42).size(), 10);
}

void TestMeterEmulator::nothingPendingMeansMinusOne() {
    MeterEmulator m;
    QCOMPARE(m.nextOutputMs(), -1);
    QCOMPARE(m.read(1000), QByteArray());
    m.write(QByteArray("garbage"), 0);
    QCOMPARE(m.nextOutputMs(), -1);
}

void TestMeterEmulator::commandSplitAcrossWrites() {
    auto m = instantMeter();
    const QByteArray k = command('K');
    for (int i = 0; i < 5; ++i) {
        m->write(k.mid(i, 1), i);
        QCOMPARE(m->read(i), QByteArray());
    }
    m->write(k.mid(5), 5);
    QCOMPARE(m->read(5), QByteArray(k + "122\r"));

    // Two commands in one write, the second split over the next.
    const QByteArray both = QByteArray(command('K') + command('A'));
    m->write(both.left(8), 10);
    QCOMPARE(m->read(10), QByteArray(command('K') + "122\r"));
    m->write(both.mid(8), 11);
    QCOMPARE(m->read(11), QByteArray(command('A') + "11234;00:\r\n"));
}

void TestMeterEmulator::garbageBetweenCommandsIsSkipped_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray k = command('K');
    using B = QByteArray;
    QTest::newRow("text before") << B("hello" + k) << B(k + "122\r");
    QTest::newRow("text after") << B(k + "\r\n\x03\x03") << B(k + "122\r");
    QTest::newRow("stray STX before") << B("\x02" + k) << B(k + "122\r");
    QTest::newRow("stray STX, short") << B(B("\x02\x4B\x00", 3) + k) << B(k + "122\r");
    QTest::newRow("no ETX") << B("\x02\x4B\x00\x00\x00\x04", 6) << B();
    QTest::newRow("between two") << B(k + "zz\x02" + k) << B(k + "122\r" + k + "122\r");
    QTest::newRow("high bytes") << B("\xFF\xFE\x80" + k) << B(k + "122\r");
}

void TestMeterEmulator::garbageBetweenCommandsIsSkipped() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    auto m = instantMeter();
    m->write(input, 0);
    QCOMPARE(m->read(0), expected);
}

void TestMeterEmulator::corruptFaultHitsEveryNthFrame_data() {
    QTest::addColumn<int>("every");
    QTest::newRow("every 1") << 1;
    QTest::newRow("every 3") << 3;
    QTest::newRow("every 5") << 5;
}

void TestMeterEmulator::corruptFaultHitsEveryNthFrame() {
    QFETCH(int, every);
    auto m = instantMeter();
    m->faults().corruptFrameEvery = every;
    const QList<QByteArray> frames = streamFrames(*m, 30);
    QCOMPARE(frames.size(), 30);
    for (int i = 0; i < frames.size(); ++i) {
        const int number = i + 1;
        const QByteArray& f = frames.at(i);
        QCOMPARE(f.size(), 11);
        if (number % every == 0) {
            QVERIFY2(!isValidFrame(f), qPrintable(QString("frame %1").arg(number)));
            // Exactly one character is off, its high nibble not 3.
            int bad = 0;
            for (int c = 0; c < 9; ++c)
                bad += (uchar(f.at(c)) & 0xF0) != 0x30;
            QCOMPARE(bad, 1);
        } else {
            QVERIFY2(isValidFrame(f), qPrintable(QString("frame %1").arg(number)));
        }
    }
}

void TestMeterEmulator::dropFaultShortensEveryNthFrame() {
    auto m = instantMeter();
    m->faults().dropFrameEvery = 4;
    const QList<QByteArray> frames = streamFrames(*m, 12);
    QCOMPARE(frames.size(), 12);
    for (int i = 0; i < frames.size(); ++i) {
        const QByteArray& f = frames.at(i);
        if ((i + 1) % 4 == 0) {
            QCOMPARE(f, QByteArray("1123;00:\r\n")); // the 5th character is gone
        } else {
            QCOMPARE(f, QByteArray("11234;00:\r\n"));
        }
    }
}

void TestMeterEmulator::silentMeterSendsNothing() {
    auto m = instantMeter();
    m->faults().silent = true;
    m->write(command('K'), 0);
    m->write(command('A'), 1);
    m->write(command('Y'), 2);
    QCOMPARE(m->nextOutputMs(), -1);
    QCOMPARE(m->read(10000), QByteArray());
    QCOMPARE(m->framesSent(), 0);

    // Speaking again: the next call is answered.
    m->faults().silent = false;
    m->write(command('K'), 20000);
    QCOMPARE(m->read(20000), QByteArray(command('K') + "122\r"));
}

void TestMeterEmulator::recordingBit_data() {
    QTest::addColumn<bool>("recording");
    QTest::newRow("off") << false;
    QTest::newRow("on") << true;
}

void TestMeterEmulator::recordingBit() {
    QFETCH(bool, recording);
    auto m = instantMeter();
    m->setRecording(recording);
    QCOMPARE(m->recording(), recording);
    const QList<QByteArray> frames = streamFrames(*m, 3);
    QCOMPARE(frames.size(), 3);
    for (const QByteArray& f : frames) {
        QVERIFY(isValidFrame(f));
        QCOMPARE(bool(f.at(7) & 0x02), recording);
        // Nothing else changes.
        QByteArray cleared = f;
        cleared[7] = char(cleared.at(7) & ~0x02);
        QCOMPARE(cleared, QByteArray("11234;00:\r\n"));
    }
}

void TestMeterEmulator::framesComeFromTheSource() {
    auto m = instantMeter();
    m->setReadings(ReadingSource::script({"000000000", "111111111", "222222222"}));
    const QList<QByteArray> frames = streamFrames(*m, 4);
    QCOMPARE(frames, (QList<QByteArray>{"000000000\r\n", "111111111\r\n", "222222222\r\n",
                                        "000000000\r\n"}));

    // The default source is the tour: valid frames of changing functions.
    MeterEmulator tour;
    tour.setPaced(false);
    const QList<QByteArray> toured = streamFrames(tour, 50);
    QCOMPARE(toured.size(), 50);
    for (const QByteArray& f : toured)
        QVERIFY(isValidFrame(f));
}

void TestMeterEmulator::resetForgetsWhatIsInFlight() {
    MeterEmulator m; // paced, so output is still on the way
    m.setReadings(fixedReading());
    m.write(command('A'), 0);
    m.write(QByteArray("\x02\x4B", 2), 1); // half a command
    QVERIFY(m.nextOutputMs() > 0);
    m.reset();
    QVERIFY(!m.streaming());
    QCOMPARE(m.nextOutputMs(), -1);
    QCOMPARE(m.read(1000), QByteArray());
    // The half command is gone too: the rest of it alone is no command.
    m.write(QByteArray("\x00\x00\x00\x03", 4), 1000);
    QCOMPARE(m.read(2000), QByteArray());
    // And the line is free at once.
    m.write(command('K'), 3000);
    QCOMPARE(m.nextOutputMs(), 3002);
}

void TestMeterEmulator::settingsAreKept() {
    MeterEmulator m(120);
    m.setPaced(false);
    m.setFrameIntervalMs(500);
    m.setRecording(true);
    m.faults().withholdEcho = true;
    m.reset();
    QCOMPARE(m.model(), 120);
    QVERIFY(!m.paced());
    QCOMPARE(m.frameIntervalMs(), 500);
    QVERIFY(m.recording());
    QVERIFY(m.faults().withholdEcho);
    m.setFrameIntervalMs(-5);
    QCOMPARE(m.frameIntervalMs(), 0);
}

QTEST_GUILESS_MAIN(TestMeterEmulator)
#include "test_meteremulator.moc"
