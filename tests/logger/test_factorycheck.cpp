// The factory memory check against metersim over a pseudo-terminal: the lines it shows, the
// bytes it leaves in the memory, and when it resumes the live readings.

#include "factorycheck.h"
#include "loggerporthandover.h"
#include "support/loggermetersession.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

struct RecordingView : FactoryCheck::View {
    QStringList lines, messages;
    QString interval, timeLabel;
    int clears = 0;
    void clear() override {
        ++clears;
        lines.clear();
    }
    void showHeader(const QString& i, const QString& t) override {
        interval = i;
        timeLabel = t;
    }
    void addLine(const QString& line) override { lines += line; }
    void rewriteLastLine(const QString& line) override { lines.last() = line; }
    void tell(const QString& message) override { messages += message; }
};

// The lines of steps 1..n passing with test byte 2C (the clock stands at 12:00:00.300).
QStringList passedSteps(int n) {
    QStringList lines;
    for (int k = 1; k <= n; ++k)
        lines += FactoryCheck::stepLine(16 * k, 0x2C) + "....pass";
    return lines;
}

} // namespace

Q_DECLARE_METATYPE(LoggerOutcome)

class TestFactoryCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // All fifteen steps: the interval decides. A first block with a bad checksum is rejected
    // and the header taken from the resend.
    void completes_data() {
        QTest::addColumn<quint32>("interval");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("last");
        QTest::newRow("1 s") << 0x002710u << QStringList() << "測試成功";
        QTest::newRow("2 s, bad first block")
            << 0x004E20u << QStringList{"--corrupt-block", "0"} << "測試成功";
        QTest::newRow("4 s") << 0x009C40u << QStringList() << "電表時間或時間間隔錯誤,測試失敗";
    }
    void completes() {
        QFETCH(quint32, interval);
        QFETCH(QStringList, faults);
        QFETCH(QString, last);
        MeterSession s;
        QVERIFY(s.start(headerImage(interval), faults));
        RecordingView view;
        FactoryCheck::Run(s.live, s.port, view, FixedTimeClock(), fastTiming());
        QCOMPARE(view.lines,
                 QStringList{"讀取電表資料中....."} + passedSteps(15) + QStringList{last});
        QCOMPARE(view.interval, QString::number(interval / 10000) + "秒");
        QCOMPARE(view.timeLabel, "7/19/16 10:30:00 AM");
        QCOMPARE(s.live.log, handedBack("02 41 f0 f0 00 03"));
        const QByteArray memory = s.stop();
        for (int k = 1; k <= 15; ++k)
            QCOMPARE(quint8(memory.at(k << 12 | 0xF0)), quint8(0x2C));
    }

    // The first failure ends the check with its line, and the meter gets no resume command.
    void stops_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("C not echoed")
            << QStringList{"--no-echo-of", "C"} << QStringList{"讀取電表資料失敗,停止測試"};
        QTest::newRow("header block never whole")
            << QStringList{"--cut-block-always", "0,40"}
            << QStringList{"電表記憶體資料表頭讀取失敗,停止測試"};
        QTest::newRow("write not echoed")
            << QStringList{"--no-echo-of", "W"}
            << QStringList{"測試記憶體10f0讀寫2C", "測試記憶體10f0寫入失敗,停止測試"};
        QTest::newRow("wrong byte at step 3")
            << QStringList{"--wrong-read-at", "0x30F0"}
            << passedSteps(2) +
                   QStringList{"測試記憶體30f0讀寫2C", "測試記憶體30f0讀取失敗,停止測試"};
        // A meter lost or hung in the middle: the check ends with a verdict line, never with
        // a step line left hanging as if the check still ran.
        QTest::newRow("meter gone at step 3's write")
            << QStringList{"--gone-at", "W:3"}
            << passedSteps(2) + QStringList{"測試記憶體30f0讀寫2C", "電表連線中斷,停止測試"};
        QTest::newRow("meter hangs at step 2's read")
            << QStringList{"--silent-at", "R:2"}
            << passedSteps(1) +
                   QStringList{"測試記憶體20f0讀寫2C", "測試記憶體20f0讀取失敗,停止測試"};
        QTest::newRow("read sends no byte")
            << QStringList{"--no-read-byte"}
            << QStringList{"測試記憶體10f0讀寫2C", "測試記憶體10f0讀取失敗,停止測試"};
    }
    void stops() {
        QFETCH(QStringList, faults);
        QFETCH(QStringList, lines);
        MeterSession s;
        QVERIFY(s.start(headerImage(0x002710), faults));
        RecordingView view;
        QElapsedTimer elapsed;
        elapsed.start();
        LoggerTiming timing = fastTiming();
        // The echo wait outlasts the time the port needs to report a gone line (metersim
        // closes it about 0.2 s after the last byte was read).
        if (faults.contains("--gone-at"))
            timing.echoWaitMs = 1000;
        FactoryCheck::Run(s.live, s.port, view, FixedTimeClock(), timing);
        QCOMPARE(view.lines, QStringList{"讀取電表資料中....."} + lines);
        QCOMPARE(s.live.log, handedBack());
        // The check ends once its failing step has had its waits, not much later.
        qInfo("ended after %lld ms", elapsed.elapsed());
        QVERIFY2(elapsed.elapsed() < 20000, qPrintable(QString::number(elapsed.elapsed())));
        // A read answered by no byte waits out the silence limit before it fails.
        if (faults.contains("--no-read-byte"))
            QVERIFY(elapsed.elapsed() >= 2 * fastTiming().silenceMs);
    }

    void refusesWithoutSending() {
        RecordingLive live;
        MeterPort port;
        RecordingView view;
        live.recording = true;
        QCOMPARE(FactoryCheck::Run(live, port, view, FixedTimeClock()),
                 LoggerOutcome::MeterRecording);
        live.connectedFlag = false;
        QCOMPARE(FactoryCheck::Run(live, port, view, FixedTimeClock()),
                 LoggerOutcome::NotConnected);
        {
            // Started from inside another logger operation's waits: the window keeps its lines.
            RecordingLive other;
            const LoggerPortHandOver holding(other, port, fastTiming());
            live.connectedFlag = true;
            live.recording = false;
            QCOMPARE(FactoryCheck::Run(live, port, view, FixedTimeClock()),
                     LoggerOutcome::DeviceBusy);
        }
        QCOMPARE(view.messages, QStringList({"請先停止記憶", "未能偵測到電表"}));
        QCOMPARE(view.clears, 0);
        QCOMPARE(live.log, QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFactoryCheck)
#include "test_factorycheck.moc"
