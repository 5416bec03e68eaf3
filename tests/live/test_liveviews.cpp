// The live views as the program wires them: each follows the live link by itself. The same
// frames must decode to the same updates whether windows watch or not, and every view must show
// what the updates say, also when a view opens halfway.
#include "clock.h"
#include "daycount.h"
#include "gaugewindow.h"
#include "lcdwindow.h"
#include "livelink.h"
#include "recorder.h"
#include "recorderwindow.h"
#include "statisticswindow.h"
#include "support/fakeport.h"
#include "support/liveframe.h"
#include "support/linkspy.h"

#include <QGraphicsEffect>
#include <QLabel>
#include <QLocale>
#include <QTest>

#include <memory>

namespace {

// A session that walks through functions, ranges, peak hold and overload, with the odd frame
// that fails the check.
QList<QByteArray> tour() {
    QList<QByteArray> frames;
    for (const char* digits : {"1234", "1500", "0999"})
        frames << LiveFrame(1, digits, ';');                  // 4 V range
    frames << LiveFrame(0, "3999", ';', 4);                    // mV, negative
    frames << LiveFrame(2, "1000", ';');                       // 40 V range
    frames << LiveFrame(2, "2000", ';', 0, 4) << LiveFrame(2, "3000", ';', 0, 8); // peak hold
    frames << LiveFrame(2, "0100", ';', 4, 4);
    frames << LiveFrame(2, "0200", ';');                       // peak hold ends
    frames << "1123\x7f;002\r\n";                              // fails the check
    frames << LiveFrame(1, "0750", '3') << LiveFrame(2, "0750", '3'); // resistance, ranges
    frames << LiveFrame(0, "0000", '3', 1);                    // overload
    frames << LiveFrame(0, "0020", '4', 8) << LiveFrame(0, "0070", '4'); // C, then F
    frames << LiveFrame(0, "3999", '9');                       // 39.99 mA
    return frames;
}

} // namespace

class TestLiveViews : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void sameFramesDecodeTheSameWithAndWithoutWindows();
    void staleReadingsAreFaded();
};

void TestLiveViews::sameFramesDecodeTheSameWithAndWithoutWindows() {
    FakePortsScope ports;
    auto bare = ports.add(QStringLiteral("/dev/bare"));
    auto watched = ports.add(QStringLiteral("/dev/watched"));

    LiveLink quietLink;
    LinkSpy quiet(quietLink);
    quietLink.setDeviceName(QStringLiteral("/dev/bare"));
    quietLink.openPort();

    LiveLink link;
    LinkSpy spy(link);
    link.setDeviceName(QStringLiteral("/dev/watched"));
    link.openPort();
    Recorder recorder(link);
    LcdWindow lcd;
    lcd.follow(link);
    StatisticsWindow status;
    status.follow(link);
    RecorderWindow recorderWindow(recorder, link);
    recorderWindow.setupChart();
    std::unique_ptr<GaugeWindow> gauge; // opens halfway through

    QList<LiveUpdate> seen, seenQuietly;
    spy.onUpdate = [&](const LiveUpdate& u) { seen << u; };
    quiet.onUpdate = [&](const LiveUpdate& u) { seenQuietly << u; };
    const QList<QByteArray> frames = tour();
    for (int i = 0; i < frames.size(); ++i) {
        if (i == frames.size() / 2) {
            gauge = std::make_unique<GaugeWindow>();
            gauge->follow(link);
        }
        const qsizetype before = seen.size();
        bare->send(frames[i]);
        watched->send(frames[i]);
        // Every view shows what the update said.
        if (seen.size() > before) {
            const LiveUpdate& u = seen.last();
            for (int k = 0; k < 4; ++k)
                QCOMPARE(lcd.digitCode(k + 1), int(u.reading.digits[std::size_t(k)]));
            if (gauge)
                QCOMPARE(gauge->signText(), u.needleNegative() ? QStringLiteral("-")
                                                               : QStringLiteral("+"));
        }
    }

    QCOMPARE(seen.size(), frames.size() - 1); // the damaged frame decodes to nothing
    // The same updates and connection changes (the status texts name each link's own port).
    const auto withoutStatus = [](QStringList calls) {
        calls.removeIf([](const QString& c) { return c.startsWith(QLatin1String("status")); });
        return calls;
    };
    QCOMPARE(withoutStatus(quiet.calls), withoutStatus(spy.calls));
    QCOMPARE(seenQuietly.size(), seen.size());
    for (int i = 0; i < seen.size(); ++i) {
        const Reading& a = seen[i].reading;
        const Reading& b = seenQuietly[i].reading;
        const QByteArray where = QByteArray::number(i);
        QVERIFY2(a.digits == b.digits && a.count == b.count && a.value == b.value &&
                     a.valueText == b.valueText && a.unitText == b.unitText &&
                     a.functionName == b.functionName && a.annunciators == b.annunciators &&
                     a.unitAnnunciators == b.unitAnnunciators && a.divisor == b.divisor,
                 where.constData());
        QVERIFY2(seen[i].stats.maxCount == seenQuietly[i].stats.maxCount &&
                     seen[i].stats.peakMaxCount == seenQuietly[i].stats.peakMaxCount &&
                     seen[i].stats.minCount == seenQuietly[i].stats.minCount,
                 where.constData());
    }

    // What the windows show at the end: 39.99 mA on the 40 mA scale.
    QCOMPARE(link.reading().unitText, QStringLiteral("mA"));
    QCOMPARE(status.findChild<QLabel*>(QStringLiteral("lblMAX"))->text(), QStringLiteral("39.99"));
    QCOMPARE(gauge->labelText(5), QStringLiteral("40"));
    QCOMPARE(gauge->needlePosition(), 39);
    // The meter changed function on the last frame: the recorder's table was emptied.
    QCOMPARE(recorderWindow.sampleCount(), 0);
}

// A reading older than two seconds is shown faded by every live view, also while damaged frames
// keep the link up: a meter that stopped sending good frames never shows its last value as
// live. The next good frame brings the views back.
void TestLiveViews::staleReadingsAreFaded() {
    struct StepClock : Clock {
        qint64 seconds = 0;
        qint64 monotonicMs() const override { return seconds * 1000; }
        double now() const override { return 45000.5 + SecondsToDays(double(seconds)); }
    } clock;
    FakePortsScope ports;
    auto meter = ports.add(QStringLiteral("/dev/meter"));
    LiveLink link;
    link.setClock(&clock);
    link.setDeviceName(QStringLiteral("/dev/meter"));
    link.openPort();
    LcdWindow lcd;
    lcd.follow(link);
    StatisticsWindow status;
    status.follow(link);
    GaugeWindow gauge;
    gauge.follow(link);
    const auto faded = [&] {
        const QList<bool> states = {lcd.readingStale(), status.readingStale(), gauge.readingStale()};
        const QList<bool> effects = {lcd.graphicsEffect() != nullptr,
                                     status.graphicsEffect() != nullptr,
                                     gauge.graphicsEffect() != nullptr};
        if (states != effects)
            return -1; // a view says one thing and draws another
        return int(states.count(true));
    };
    const auto tickAfter = [&](qint64 seconds) {
        clock.seconds += seconds;
        link.onTick();
    };

    meter->send(LiveFrame(1, "1234", ';'));
    QVERIFY(link.connected());
    tickAfter(1);
    tickAfter(1);
    QCOMPARE(faded(), 0); // two seconds: still fresh
    tickAfter(1);
    QCOMPARE(faded(), 3);

    // Damaged frames keep the link up but bring no reading: still faded.
    for (int i = 0; i < 3; ++i) {
        meter->send("1123\x7f;002\r\n");
        tickAfter(1);
    }
    QVERIFY(link.connected());
    QCOMPARE(faded(), 3);

    meter->send(LiveFrame(1, "0999", ';'));
    QCOMPARE(faded(), 0);
    QCOMPARE(lcd.digitCode(2), 9);
}

QTEST_MAIN(TestLiveViews)
#include "test_liveviews.moc"
