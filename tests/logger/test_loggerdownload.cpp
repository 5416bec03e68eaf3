#include "link/fakeport.h"
#include "livelinkcontrol.h"
#include "loadloggerdata.h"
#include "loggerblock.h"
#include "loggercommandbuffer.h"
#include "loggerdownload.h"
#include "loggerimagebuilder.h"
#include "loggerporthandover.h"
#include "loggerprogress.h"

#include <QSet>
#include <QTest>

#include <stdexcept>

namespace {

// The meter's side of the logger exchanges: echoes the echoed commands, sends the memory in
// checksummed blocks after 'P', the next one after 'y', the same one again after 'n', nothing
// after 'Q'; 'W' writes its memory. Faults are chosen per block.
class ScriptedMeter {
public:
    explicit ScriptedMeter(std::shared_ptr<FakeDevice> device) : m_dev(std::move(device)) {
        m_dev->onWrite = [this](const QByteArray& w) { onWrite(w); };
    }
    ~ScriptedMeter() { m_dev->onWrite = nullptr; }

    QByteArray memory;     // whole blocks
    QSet<int> corruptOnce; // sent with a wrong byte the first time
    QSet<int> partialOnce; // the first 40 bytes only, the first time
    int silentFrom = -1;   // this block and the later ones are never sent
    bool corruptAlways = false;
    std::function<void(int)> accepted; // after 'y' for a block
    QByteArray letters;                // every command letter received, in order

    int count(char letter) const { return int(letters.count(letter)); }

private:
    void onWrite(const QByteArray& w) {
        const char letter = w.at(1);
        letters += letter;
        if (QByteArray("CPWE").contains(letter))
            m_dev->input += w;
        switch (letter) {
        case 'P':
            m_next = 0;
            sendBlock();
            break;
        case 'y':
            if (accepted)
                accepted(m_next);
            ++m_next;
            sendBlock();
            break;
        case 'n':
            sendBlock();
            break;
        case 'W':
            memory[(quint8(w[2]) << 8) | quint8(w[3])] = w[4];
            break;
        default:
            break;
        }
    }
    void sendBlock() {
        if (!m_dev->open || m_next * 64 >= memory.size() || m_next == silentFrom)
            return;
        QByteArray b = memory.mid(m_next * 64, 64);
        b += char(LoggerBlock::Checksum(b.constData()));
        if (corruptAlways || corruptOnce.remove(m_next))
            b[10] = char(b[10] ^ 0x01);
        if (partialOnce.remove(m_next))
            b.truncate(40);
        m_dev->input += b;
    }

    std::shared_ptr<FakeDevice> m_dev;
    int m_next = 0;
};

// The live side as the hand-over sees it, recording what it was asked to do.
class FakeLive : public LiveLinkControl {
public:
    QStringList log;
    QString device = QStringLiteral("/dev/fake");
    bool timerBusy = false;

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
    void writeLivePort(const QByteArray& command) override {
        log += QStringLiteral("write ") + QString::fromLatin1(command.toHex(' '));
    }
    void startMainTimer() override { log += "startTimer"; }
};

class RecordingProgress : public LoggerProgress {
public:
    int expected = -1, used = -1, received = 0;
    int cancelAt = -1; // cancel once this many bytes arrived
    void totalKnown(int e, int u) override {
        expected = e;
        used = u;
    }
    void bytesReceived(int r) override {
        QVERIFY(r > received);
        received = r;
    }
    bool cancelled() override { return cancelAt >= 0 && received >= cancelAt; }
};

// Answers the error dialog from a list, and remembers what it was told.
class ScriptedUser : public LoadLoggerDataUser {
public:
    QList<LoggerErrorChoice> answers;
    QList<DownloadResult> failures;
    QList<bool> repairs;
    LoggerErrorChoice downloadFailed(const LoggerDownload& d) override {
        failures += d.Result;
        return answers.isEmpty() ? LoggerErrorChoice::Cancel : answers.takeFirst();
    }
    void headerRepaired(bool confirmed) override { repairs += confirmed; }
};

LoggerTiming fastTiming() {
    LoggerTiming t;
    t.settleMs = 10;
    t.quietMs = 20;
    t.idleWaitMs = 100;
    t.silenceMs = 300;
    t.partialMs = 100;
    t.transferLimitMs = 20000;
    t.pollMs = 1;
    return t;
}

const QStringList kTaken{"waitTimer", "stopTimer", "waitRx", "closeLive"};
const QStringList kGivenBack{"openLive", "write 02 41 00 00 00 03", "startTimer"};

// Three sets, 752 bytes used: 12 blocks; the third set starts at 700.
LoggerImageBuilder threeSets() {
    LoggerImageBuilder b;
    b.addSet(10000, 0xB0, 0x08, QList<quint16>(100, 0x1123))
        .addSet(10000, 0x30, 0x00, QList<quint16>(110, 0x2200))
        .addSet(20000, 0x10, 0x00, QList<quint16>(20, 0x0042));
    return b;
}

} // namespace

Q_DECLARE_METATYPE(DownloadResult)

class TestLoggerDownload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        fake = std::make_unique<FakeDeviceScope>();
        meter = std::make_unique<ScriptedMeter>(fake->device);
        port = std::make_unique<TComPort>();
    }
    void cleanup() {
        port.reset();
        meter.reset();
        fake.reset();
    }

    // A whole download with a corrupted block and a stalled partial block, each answered
    // 'n' and then resent; the device is taken from the live side and given back.
    void downloadsThroughBadBlocks() {
        meter->memory = threeSets().blocks();
        meter->corruptOnce = {2};
        meter->partialOnce = {5};
        FakeLive live;
        RecordingProgress progress;
        LoggerDownload d;
        {
            LoggerPortHandOver handOver(live, *port, fastTiming());
            QVERIFY(handOver.taken());
            QCOMPARE(live.log, kTaken);
            QCOMPARE(port->DeviceName(), QStringLiteral("/dev/fake"));
            d = DownloadLoggerMemory(*port, handOver.commands(), &progress, 0, fastTiming());
        }
        QCOMPARE(d.Result, DownloadResult::Loaded);
        QCOMPARE(d.Image.bytes(), meter->memory); // no gap, no duplicate
        QCOMPARE(d.Errors, 2);
        QCOMPARE(d.Parse.Sets.size(), 3);
        QCOMPARE(d.Parse.Sets[2].Offset, 700 - 256);
        QCOMPARE(d.ExpectedTotal, 768);
        QCOMPARE(progress.expected, 768);
        QCOMPARE(progress.used, 752);
        QCOMPARE(progress.received, 768);
        QCOMPARE(meter->letters, QByteArray("CP") + QByteArray("yyn") + QByteArray("yyyn") +
                                     QByteArray(12 - 5, 'y'));
        QCOMPARE(live.log, kTaken + kGivenBack);
        QVERIFY(!port->Active());
    }

    // Transfers that end short, and why.
    void transfersThatEndShort_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<DownloadResult>("result");
        QTest::addColumn<QByteArray>("letters");
        QTest::newRow("meter sends nothing") << 0 << DownloadResult::TooShort << QByteArray("CP");
        QTest::newRow("meter falls silent")
            << 1 << DownloadResult::Incomplete << QByteArray("CPyyyyyy");
        QTest::newRow("every block corrupted")
            << 2 << DownloadResult::TooManyErrors << QByteArray("CP") + QByteArray(21, 'n') + 'Q';
        QTest::newRow("user cancels") << 3 << DownloadResult::Cancelled << QByteArray("CPyyQ");
        QTest::newRow("port vanishes") << 4 << DownloadResult::PortLost << QByteArray("CPyyy");
        // The whole memory arrived (its header holds no set); a further block is refused.
        QTest::newRow("meter sends more than the memory")
            << 5 << DownloadResult::NoData << QByteArray("CP") + QByteArray(1024, 'y') + 'Q';
    }
    void transfersThatEndShort() {
        QFETCH(int, fault);
        meter->memory = threeSets().blocks();
        RecordingProgress progress;
        switch (fault) {
        case 0:
            meter->memory.clear();
            break;
        case 1:
            meter->silentFrom = 6;
            break;
        case 2:
            meter->corruptAlways = true;
            break;
        case 3:
            progress.cancelAt = 128;
            break;
        case 4:
            // The logger port ends operations silently, as the data-logger window sets it.
            port->OnError = [](TComPort*, const EComError&, TComAction& a) { a = caAbort; };
            meter->accepted = [this](int block) {
                if (block == 2)
                    fake->device->open = false;
            };
            break;
        case 5:
            meter->memory =
                LoggerImageBuilder().endAddress(0xFFFF).used().leftJustified(65536 + 64, 0);
            break;
        }
        FakeLive live;
        LoggerDownload d;
        {
            LoggerPortHandOver handOver(live, *port, fastTiming());
            QVERIFY(handOver.taken());
            d = DownloadLoggerMemory(*port, handOver.commands(), &progress, 0, fastTiming());
        }
        QTEST(d.Result, "result");
        QTEST(meter->letters, "letters");
        QVERIFY(d.Parse.Sets.isEmpty());
        QVERIFY(d.Image.size() <= LoggerImage::MemorySize);
        QCOMPARE(live.log, kTaken + kGivenBack);
    }

    // A damaged third set at address 700: the header is cut back to the two good sets, the
    // resume command carries the last write's parameters, and the next download loads.
    void repairsDamagedHeader() {
        LoggerImageBuilder b = threeSets();
        b.addSet(10000, 0x10, 0, {1, 2, 3});
        QCOMPARE(b.setAddress(2), 700);
        QByteArray memory = b.blocks();
        memory[701] = 0;
        meter->memory = memory;
        FakeLive live;
        {
            LoggerPortHandOver handOver(live, *port, fastTiming());
            const LoggerDownload d =
                DownloadLoggerMemory(*port, handOver.commands(), nullptr, 0, fastTiming());
            QCOMPARE(d.Result, DownloadResult::BadDataSet);
            QCOMPARE(d.Parse.BadSetIndex, 2);
            QCOMPARE(d.Parse.LastGoodAddress, 699);
            QVERIFY(RepairLoggerHeader(*port, handOver.commands(), d.Parse.BadSetIndex,
                                       d.Parse.LastGoodAddress));
            QVERIFY(!RepairLoggerHeader(*port, handOver.commands(), 4001, 699));
        }
        QCOMPARE(meter->memory.mid(9, 4), QByteArray::fromHex("000202BB"));
        QCOMPARE(live.log.mid(kTaken.size(), 2),
                 (QStringList{"openLive", "write 02 41 00 0c bb 03"}));

        live.log.clear();
        LoggerPortHandOver again(live, *port, fastTiming());
        const LoggerDownload d =
            DownloadLoggerMemory(*port, again.commands(), nullptr, 0, fastTiming());
        QCOMPARE(d.Result, DownloadResult::Loaded);
        QCOMPARE(d.Parse.Sets.size(), 2);
    }

    // Load Data's loop over one hand-over: the user first tries again, then has the header
    // fixed; a meter that stays silent is given up on Cancel.
    void loadAsksUntilLoadedOrCancelled() {
        LoggerImageBuilder b = threeSets();
        b.addSet(10000, 0x10, 0, {1, 2, 3});
        meter->memory = b.blocks();
        meter->memory[701] = 0;
        FakeLive live;
        ScriptedUser user;
        user.answers = {LoggerErrorChoice::TryAgain, LoggerErrorChoice::Fixed};
        LoggerDownload d = LoadLoggerData(live, *port, nullptr, user, 0, fastTiming());
        QCOMPARE(d.Result, DownloadResult::Loaded);
        QCOMPARE(d.Parse.Sets.size(), 2);
        QCOMPARE(user.failures,
                 (QList<DownloadResult>{DownloadResult::BadDataSet, DownloadResult::BadDataSet}));
        QCOMPARE(user.repairs, QList<bool>{true});
        QCOMPARE(live.log, kTaken + kGivenBack);

        meter->memory.clear();
        live = FakeLive();
        user = ScriptedUser();
        user.answers = {LoggerErrorChoice::Fixed, LoggerErrorChoice::Cancel};
        d = LoadLoggerData(live, *port, nullptr, user, 0, fastTiming());
        QCOMPARE(d.Result, DownloadResult::TooShort);
        QCOMPARE(user.failures.size(), 2);
        QVERIFY(user.repairs.isEmpty()); // nothing to repair without a bad set
        QCOMPARE(live.log, kTaken + kGivenBack);
    }

    // What the hand-over gives back when it could not take the device, or when an exception
    // ends the operation.
    void handOverGivesBackWhatItTook() {
        FakeLive live;
        live.timerBusy = true;
        {
            LoggerPortHandOver h(live, *port, fastTiming());
            QVERIFY(!h.taken());
            QCOMPARE(h.failure(), DownloadResult::DeviceBusy);
        }
        QCOMPARE(live.log, QStringList{"waitTimer"});

        live = FakeLive();
        live.device.clear();
        {
            LoggerPortHandOver h(live, *port, fastTiming());
            QCOMPARE(h.failure(), DownloadResult::PortNotOpened);
        }
        QCOMPARE(live.log, (QStringList{"waitTimer", "stopTimer", "waitRx", "startTimer"}));

        live = FakeLive();
        fake->device->failOpen = true;
        {
            LoggerPortHandOver h(live, *port, fastTiming());
            QCOMPARE(h.failure(), DownloadResult::PortNotOpened);
        }
        QCOMPARE(live.log, kTaken + kGivenBack);
        fake->device->failOpen = false;

        live = FakeLive();
        FakeLive nested;
        try {
            LoggerPortHandOver h(live, *port, fastTiming());
            QVERIFY(h.taken());
            LoggerPortHandOver second(nested, *port, fastTiming());
            QVERIFY(!second.taken());
            QCOMPARE(second.failure(), DownloadResult::DeviceBusy);
            QVERIFY(port->Active()); // the second one did not touch the port
            throw std::runtime_error("fault in the operation");
        } catch (const std::runtime_error&) {
        }
        QVERIFY(nested.log.isEmpty());
        QCOMPARE(live.log, kTaken + kGivenBack);
        QVERIFY(!port->Active());
    }

private:
    std::unique_ptr<FakeDeviceScope> fake;
    std::unique_ptr<ScriptedMeter> meter;
    std::unique_ptr<TComPort> port;
};

QTEST_GUILESS_MAIN(TestLoggerDownload)
#include "test_loggerdownload.moc"
