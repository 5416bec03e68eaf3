#include "support/fakeport.h"
#include "livelinkcontrol.h"
#include "loadloggerdata.h"
#include "loggerblock.h"
#include "loggerimagebuilder.h"
#include "loggerporthandover.h"
#include "loggerprogress.h"

#include <QSet>
#include <QTest>

#include <stdexcept>

namespace {

// The meter's side: echoes 'C', 'P' and 'W', sends its memory in checksummed blocks after 'P',
// the next block after 'y', the same again after 'n', nothing after 'Q'; 'W' writes memory.
struct ScriptedMeter {
    explicit ScriptedMeter(std::shared_ptr<FakeDevice> d) : dev(std::move(d)) {
        dev->onWrite = [this](const QByteArray& w) {
            letters += w[1];
            if (QByteArray("CPW").contains(w[1]))
                dev->input += w;
            if (w[1] == 'W')
                memory[quint8(w[2]) << 8 | quint8(w[3])] = w[4];
            if (w[1] == 'y' && accepted)
                accepted(next);
            next = w[1] == 'P' ? 0 : next + (w[1] == 'y');
            if (QByteArray("Pyn").contains(w[1]) && dev->open && next * 64 < memory.size() &&
                next != silentFrom) {
                QByteArray b = memory.mid(next * 64, 64);
                b += char(LoggerBlock::checksum(b.constData()));
                if (corruptAlways || corruptOnce.remove(next))
                    b[10] = char(b[10] ^ 1);
                if (partialOnce.remove(next))
                    b.truncate(40);
                dev->input += b;
            }
        };
    }
    ~ScriptedMeter() { dev->onWrite = nullptr; }

    std::shared_ptr<FakeDevice> dev;
    QByteArray memory;
    QSet<int> corruptOnce, partialOnce; // blocks sent wrong the first time
    int silentFrom = -1;                // this block and the later ones are never sent
    bool corruptAlways = false;
    std::function<void(int)> accepted;
    QByteArray letters; // every command letter received
    int next = 0;
};

// The live side, recording what the hand-over asked of it.
struct FakeLive : LiveLinkControl {
    QStringList log;
    QString device = QStringLiteral("/dev/fake");
    bool timerBusy = false, connectedFlag = true, recording = false;
    bool connected() const override { return connectedFlag; }
    bool meterRecording() const override { return recording; }
    QString deviceName() const override { return device; }
    bool waitTimerIdle(int) override {
        log += "waitTimer";
        return !timerBusy;
    }
    void stopMainTimer() override { log += "stopTimer"; }
    bool waitReceiveIdle(int) override {
        log += "waitRx";
        return true;
    }
    void closeLivePort() override { log += "closeLive"; }
    void reopenLivePort() override { log += "openLive"; }
    void writeLivePort(const QByteArray& c) override {
        log += QString::fromLatin1("write " + c.toHex(' '));
    }
    void startMainTimer() override { log += "startTimer"; }
};

struct RecordingProgress : LoggerProgress {
    int expected = -1, used = -1, received = 0, cancelAt = -1;
    void totalKnown(int e, int u) override {
        expected = e;
        used = u;
    }
    void bytesReceived(int r) override { received = r; }
    bool cancelled() override { return cancelAt >= 0 && received >= cancelAt; }
};

// Answers the error dialog from a list.
struct ScriptedUser : LoadLoggerDataUser {
    QList<LoggerErrorChoice> answers;
    QList<LoggerOutcome> failures;
    QList<bool> repairs;
    LoggerErrorChoice downloadFailed(const LoggerDownload& d) override {
        failures += d.result;
        return answers.takeFirst();
    }
    void headerRepaired(bool confirmed) override { repairs += confirmed; }
};

LoggerTiming fastTiming() {
    LoggerTiming t;
    t.settleMs = 10;
    t.quietMs = 20;
    t.silenceMs = 300;
    t.partialMs = 100;
    t.pollMs = 1;
    return t;
}

const QStringList kTaken{"waitTimer", "stopTimer", "waitRx", "closeLive"};
const QStringList kGivenBack{"openLive", "write 02 41 00 00 00 03", "startTimer"};

// Three sets, 752 bytes used (12 blocks); the third set starts at 700.
LoggerImageBuilder threeSets() {
    LoggerImageBuilder b;
    b.addSet(10000, 0xB0, 0x08, QList<quint16>(100, 0x1123))
        .addSet(10000, 0x30, 0x00, QList<quint16>(110, 0x2200))
        .addSet(20000, 0x10, 0x00, QList<quint16>(20, 0x0042));
    return b;
}

} // namespace

Q_DECLARE_METATYPE(LoggerOutcome)

class TestLoggerDownload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        fake = std::make_unique<FakeDeviceScope>();
        meter = std::make_unique<ScriptedMeter>(fake->device);
        meter->memory = threeSets().blocks();
        port = std::make_unique<MeterPort>();
    }
    void cleanup() {
        port.reset();
        meter.reset();
        fake.reset();
    }

    // A corrupted block and a stalled partial block are each answered 'n' and resent; the
    // device is taken from the live side and given back.
    void downloadsThroughBadBlocks() {
        meter->corruptOnce = {2};
        meter->partialOnce = {5};
        FakeLive live;
        RecordingProgress progress;
        LoggerDownload d;
        {
            LoggerPortHandOver handOver(live, *port, fastTiming());
            QCOMPARE(live.log, kTaken);
            QVERIFY(handOver.taken() && port->deviceName() == live.device);
            d = downloadLoggerMemory(*port, handOver.commands(), &progress, 0, fastTiming());
        }
        QCOMPARE(d.result, LoggerOutcome::Loaded);
        QCOMPARE(d.image.bytes(), meter->memory); // no gap, no duplicate
        QCOMPARE(d.errors, 2);
        QCOMPARE(d.parse.sets.size(), 3);
        QCOMPARE(progress.expected, 768);
        QCOMPARE(progress.used, 752);
        QCOMPARE(progress.received, 768);
        QCOMPARE(meter->letters, "CP"
                                 "yyn"
                                 "yyyn"
                                 "yyyyyyy");
        QCOMPARE(live.log, kTaken + kGivenBack);
        QVERIFY(!port->active());
    }

    void transfersThatEndShort_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<LoggerOutcome>("result");
        QTest::addColumn<QByteArray>("letters");
        using R = LoggerOutcome;
        QTest::newRow("meter sends nothing") << 0 << R::TooShort << QByteArray("CP");
        QTest::newRow("meter falls silent") << 1 << R::Incomplete << QByteArray("CPyyyyyy");
        QTest::newRow("every block corrupted")
            << 2 << R::TooManyErrors << QByteArray("CP") + QByteArray(21, 'n') + 'Q';
        QTest::newRow("user cancels") << 3 << R::Cancelled << QByteArray("CPyyQ");
        QTest::newRow("port vanishes") << 4 << R::PortLost << QByteArray("CPyyy");
        // The whole memory arrived (its header holds no set); a further block is refused.
        QTest::newRow("meter sends more than the memory")
            << 5 << R::NoData << QByteArray("CP") + QByteArray(1024, 'y') + 'Q';
    }
    void transfersThatEndShort() {
        QFETCH(int, fault);
        RecordingProgress progress;
        if (fault == 0)
            meter->memory.clear();
        meter->silentFrom = fault == 1 ? 6 : -1;
        meter->corruptAlways = fault == 2;
        progress.cancelAt = fault == 3 ? 128 : -1;
        if (fault == 4) {
            // The logger port ends operations silently, as the data-logger window sets it.
            port->onError = [](MeterPort*, const PortError&, PortErrorAction& a) { a = caAbort; };
            meter->accepted = [this](int block) { fake->device->open = block != 2; };
        }
        if (fault == 5) {
            LoggerImageBuilder full;
            full.end = 0xFFFF;
            meter->memory = full.blocks().leftJustified(65536 + 64, 0);
        }
        FakeLive live;
        LoggerDownload d;
        {
            LoggerPortHandOver handOver(live, *port, fastTiming());
            d = downloadLoggerMemory(*port, handOver.commands(), &progress, 0, fastTiming());
        }
        QTEST(d.result, "result");
        QTEST(meter->letters, "letters");
        QVERIFY(d.parse.sets.isEmpty() && d.image.size() <= LoggerImage::MemorySize);
        QCOMPARE(live.log, kTaken + kGivenBack);
    }

    // Load Data over one hand-over: a damaged third set (at 700) is downloaded again, then
    // the header is cut back to the two good sets, and the next download loads them.
    void loadRepairsDamagedHeader() {
        meter->memory[701] = 0;
        FakeLive live;
        ScriptedUser user;
        user.answers = {LoggerErrorChoice::TryAgain, LoggerErrorChoice::Fixed};
        LoggerDownload d = loadLoggerData(live, *port, nullptr, user, 0, fastTiming());
        QCOMPARE(d.result, LoggerOutcome::Loaded);
        QCOMPARE(d.parse.sets.size(), 2);
        QCOMPARE(user.failures, QList<LoggerOutcome>(2, LoggerOutcome::BadDataSet));
        QCOMPARE(user.repairs, QList<bool>{true});
        QCOMPARE(meter->memory.mid(9, 4), QByteArray::fromHex("000202BB"));
        QCOMPARE(live.log, kTaken + kGivenBack);

        meter->memory.clear();
        user.answers = {LoggerErrorChoice::Fixed, LoggerErrorChoice::Cancel};
        QCOMPARE(loadLoggerData(live, *port, nullptr, user, 0, fastTiming()).result,
                 LoggerOutcome::TooShort);
        QCOMPARE(user.repairs.size(), 1); // nothing to repair without a bad set

        FakeLive recording, unconnected;
        recording.recording = true;
        unconnected.connectedFlag = false;
        QCOMPARE(loadLoggerData(recording, *port, nullptr, user, 0).result,
                 LoggerOutcome::MeterRecording);
        QCOMPARE(loadLoggerData(unconnected, *port, nullptr, user, 0).result,
                 LoggerOutcome::NotConnected);
        QVERIFY(recording.log.isEmpty() && unconnected.log.isEmpty());
    }

    // Only what was taken is given back, also when an exception ends the operation.
    void handOverGivesBackWhatItTook() {
        FakeLive busy;
        busy.timerBusy = true;
        QCOMPARE(LoggerPortHandOver(busy, *port, fastTiming()).failure(),
                 LoggerOutcome::DeviceBusy);
        QCOMPARE(busy.log, QStringList{"waitTimer"});

        FakeLive nameless;
        nameless.device.clear();
        QCOMPARE(LoggerPortHandOver(nameless, *port, fastTiming()).failure(),
                 LoggerOutcome::PortNotOpened);
        QCOMPARE(nameless.log, (QStringList{"waitTimer", "stopTimer", "waitRx", "startTimer"}));

        FakeLive refused;
        fake->device->failOpen = true;
        QCOMPARE(LoggerPortHandOver(refused, *port, fastTiming()).failure(),
                 LoggerOutcome::PortNotOpened);
        QCOMPARE(refused.log, kTaken + kGivenBack);
        fake->device->failOpen = false;

        FakeLive live, nested;
        try {
            LoggerPortHandOver h(live, *port, fastTiming());
            LoggerPortHandOver second(nested, *port, fastTiming());
            QCOMPARE(second.failure(), LoggerOutcome::DeviceBusy);
            QVERIFY(h.taken() && port->active());
            throw std::runtime_error("fault in the operation");
        } catch (const std::runtime_error&) {
        }
        QVERIFY(nested.log.isEmpty());
        QCOMPARE(live.log, kTaken + kGivenBack);
        QVERIFY(!port->active());
    }

private:
    std::unique_ptr<FakeDeviceScope> fake;
    std::unique_ptr<ScriptedMeter> meter;
    std::unique_ptr<MeterPort> port;
};

QTEST_GUILESS_MAIN(TestLoggerDownload)
#include "test_loggerdownload.moc"
