// Limits on live readings: the zone logic alone (hysteresis, both limits, overloads, new
// limits), then the monitor on a live link with the recorder, the LCD and the status window:
// a crossing colours the views, marks the recorder's row, stops the recording after taking the
// crossing reading, and a change of function brings that function's own limits.

#include "lcdwindow.h"
#include "limitmark.h"
#include "limitmonitor.h"
#include "limitsdialog.h"
#include "portablecsv.h"
#include "recordingjournal.h"
#include "live/recorderharness.h"
#include "statisticswindow.h"
#include "stringgrid.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

Q_DECLARE_METATYPE(Limits)

class TestLimits : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        QSettings(QSettings::UserScope, QStringLiteral("QL350"), QStringLiteral("QL350"))
            .remove(QStringLiteral("Limits"));
    }
    void watchZones_data();
    void watchZones();
    void monitorColoursMarksAndStops();
    void dialogReadsAndRefuses();
};

// Each step: a value ("OL" and "-OL" for overloads) and the zone after it (I, A, B).
void TestLimits::watchZones_data() {
    QTest::addColumn<Limits>("limits");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("zones");
    const auto limits = [](std::optional<double> high, std::optional<double> low, double h) {
        Limits l;
        l.high = high;
        l.low = low;
        l.hysteresis = h;
        return l;
    };
    QTest::newRow("high only, no hysteresis")
        << limits(2.0, std::nullopt, 0) << QStringList{"1", "2", "2.001", "2", "1.999", "-100"}
        << "IIAIII";
    QTest::newRow("high with hysteresis: back inside only below high - h")
        << limits(2.0, std::nullopt, 0.1)
        << QStringList{"2.5", "1.95", "1.91", "1.9", "2.05", "2.01"} << "AAAIAA";
    QTest::newRow("low with hysteresis")
        << limits(std::nullopt, 10.0, 0.5) << QStringList{"11", "9.99", "10.4", "10.51", "10"}
        << "IBBII";
    QTest::newRow("both: straight from above to below and back")
        << limits(5.0, -5.0, 1.0) << QStringList{"6", "-6", "-4.5", "5.5", "4.5", "3.9"}
        << "ABBAAI";
    QTest::newRow("overloads count on their side only")
        << limits(5.0, std::nullopt, 0) << QStringList{"OL", "0", "-OL", "OL", "-OL"} << "AIIAA";
    QTest::newRow("a low limit and a negative overload")
        << limits(std::nullopt, 0.0, 0) << QStringList{"OL", "-OL", "1"} << "IBI";
    QTest::newRow("no limits: always inside")
        << limits(std::nullopt, std::nullopt, 3) << QStringList{"1e9", "-1e9", "OL"} << "III";
}

void TestLimits::watchZones() {
    QFETCH(Limits, limits);
    QFETCH(QStringList, values);
    QFETCH(QString, zones);
    LimitWatch watch;
    watch.setLimits(limits);
    QString seen;
    for (const QString& v : values) {
        const LimitWatch::Zone before = watch.zone();
        const bool changed = v == "OL"    ? watch.feed(std::nullopt, false)
                             : v == "-OL" ? watch.feed(std::nullopt, true)
                                          : watch.feed(v.toDouble());
        QCOMPARE(changed, watch.zone() != before);
        seen += watch.zone() == LimitWatch::Zone::Inside  ? u'I'
                : watch.zone() == LimitWatch::Zone::Above ? u'A'
                                                          : u'B';
    }
    QCOMPARE(seen, zones);
    // New limits start again from inside.
    watch.setLimits(limits);
    QCOMPARE(watch.zone(), LimitWatch::Zone::Inside);
}

void TestLimits::monitorColoursMarksAndStops() {
    Limits volts;
    volts.high = 2.0;
    volts.hysteresis = 0.1;
    volts.stopRecording = true;
    LimitMonitor::storeLimits(QStringLiteral("Voltage"), volts);
    Limits ohms;
    ohms.low = 1e9; // every resistance the meter shows is below it
    LimitMonitor::storeLimits(QStringLiteral("OHM"), ohms);
    QCOMPARE(LimitMonitor::storedLimits(QStringLiteral("Voltage")), volts);

    RecorderRig rig;
    LimitMonitor monitor(rig.link, &rig.recorder);
    LcdWindow lcd;
    lcd.follow(rig.link);
    lcd.followLimits(monitor);
    StatisticsWindow status;
    status.follow(rig.link);
    status.followLimits(monitor);
    QSignalSpy zones(&monitor, &LimitMonitor::zoneChanged);
    QTemporaryDir journalDir;
    RecordingJournal journal;
    JournalSettings journalSettings;
    journalSettings.folder = journalDir.path();
    journal.setSettings(journalSettings);
    journal.follow(rig.recorder);

    rig.recorder.start();
    rig.tickWithReading(LiveFrame(1, 1500, ';')); // 1.500 V
    rig.tickWithReading(LiveFrame(1, 1800, ';'));
    QCOMPARE(monitor.function(), QStringLiteral("Voltage"));
    QCOMPARE(monitor.zone(), LimitWatch::Zone::Inside);
    QVERIFY(!lcd.limitColour().isValid());
    const int before = rig.rtc->sampleCount();
    QVERIFY(before >= 1);

    // 2.500 V crosses the high limit: one sample of it, then the recording stops.
    rig.receive(LiveFrame(1, 2500, ';'));
    QCOMPARE(zones.size(), 1);
    QCOMPARE(zones[0][0].value<LimitWatch::Zone>(), LimitWatch::Zone::Above);
    QVERIFY2(zones[0][1].toString().contains(QStringLiteral("above the high limit of 2 V")),
             qPrintable(zones[0][1].toString()));
    QVERIFY(!rig.recorder.recording());
    QCOMPARE(rig.rtc->sampleCount(), before + 1);
    const StringGrid& table = *rig.rtc->recordTable;
    QCOMPARE(table.cells(3, before + 1), QStringLiteral("2.500"));
    QCOMPARE(table.cells(5, before + 1), QStringLiteral("above"));
    QVERIFY(table.cells(5, before).isEmpty());
    QCOMPARE(table.cells(5, 0), QStringLiteral("Limit"));
    QCOMPARE(lcd.limitColour(), LimitMark::colourOf(LimitWatch::Zone::Above));
    QVERIFY(status.limitShown());
    // The journal keeps the mark among the row's flags; the rows before have none.
    journal.flush();
    QFile kept(journal.currentPath() + QStringLiteral(".open")); // the file being written
    QVERIFY2(kept.open(QIODevice::ReadOnly), qPrintable(kept.fileName()));
    const QList<QByteArray> rows = kept.readAll().trimmed().split('\n');
    QCOMPARE(rows.size(), before + 2); // the header and every sample
    QCOMPARE(PortableCsv::splitLine(rows.last()).value(PortableCsv::Value), QByteArray("2.500"));
    QCOMPARE(PortableCsv::splitLine(rows.last()).value(PortableCsv::ColumnCount - 1),
             QByteArray("limit-above"));
    QCOMPARE(PortableCsv::splitLine(rows[1]).value(PortableCsv::ColumnCount - 1), QByteArray());
    // Nothing more is recorded after the stop.
    rig.tickWithReading(LiveFrame(1, 2600, ';'));
    rig.tickWithReading(LiveFrame(1, 2600, ';'));
    QCOMPARE(rig.rtc->sampleCount(), before + 1);

    // Within the hysteresis the zone holds; below it the colours go.
    rig.receive(LiveFrame(1, 1950, ';'));
    QCOMPARE(monitor.zone(), LimitWatch::Zone::Above);
    rig.receive(LiveFrame(1, 1850, ';'));
    QCOMPARE(monitor.zone(), LimitWatch::Zone::Inside);
    QVERIFY(!lcd.limitColour().isValid());
    QVERIFY(!status.limitShown());

    // Another function brings its own limits.
    rig.receive(LiveFrame(1, 500, '3'));
    QCOMPARE(monitor.function(), QStringLiteral("OHM"));
    QCOMPARE(monitor.limits(), ohms);
    QCOMPARE(monitor.zone(), LimitWatch::Zone::Below);
    QCOMPARE(lcd.limitColour(), LimitMark::colourOf(LimitWatch::Zone::Below));

    // Limits changed for the function in force apply at once, from inside.
    monitor.setLimits(QStringLiteral("OHM"), Limits());
    QCOMPARE(monitor.zone(), LimitWatch::Zone::Inside);
    QVERIFY(!lcd.limitColour().isValid());
    QCOMPARE(LimitMonitor::storedLimits(QStringLiteral("OHM")), Limits());
}

void TestLimits::dialogReadsAndRefuses() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
    Limits start;
    start.low = 3.3;
    LimitsDialog dialog(QStringLiteral("Voltage"), QStringLiteral("V"), start);
    const auto edit = [&dialog](const char* name) {
        return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
    };
    QCOMPARE(edit("lowEdit")->text(), QStringLiteral("3,3"));
    QString problem;
    edit("highEdit")->setText(QStringLiteral("4,2"));
    edit("hysteresisEdit")->setText(QStringLiteral("0.05"));
    dialog.findChild<QCheckBox*>("stopBox")->setChecked(true);
    auto read = dialog.readBoxes(&problem);
    QVERIFY2(read, qPrintable(problem));
    QCOMPARE(read->high, 4.2);
    QCOMPARE(read->low, 3.3);
    QCOMPARE(read->hysteresis, 0.05);
    QVERIFY(read->stopRecording && !read->beep);
    edit("lowEdit")->clear();
    read = dialog.readBoxes(&problem);
    QVERIFY(read && !read->low);
    for (const char* bad : {"inf", "nan", "1,2,3", "abc"}) {
        edit("highEdit")->setText(QString::fromLatin1(bad));
        QVERIFY(!dialog.readBoxes(&problem));
        QCOMPARE(problem, QStringLiteral("%1 is invalid number !").arg(bad));
    }
    edit("highEdit")->setText(QStringLiteral("1"));
    edit("lowEdit")->setText(QStringLiteral("2"));
    QVERIFY(!dialog.readBoxes(&problem));
}

QTEST_MAIN(TestLimits)
#include "test_limits.moc"
