// The portable data format: rows as written (time with offset, dot decimals, SI values,
// quoting), read back field by field, and a file's summary from its first and last lines.
#include "daycount.h"
#include "portablecsv.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

PortableCsv::Reading reading(qint64 row, const QDateTime& when, const QString& shown,
                             double value, const QString& unit,
                             const QString& function = QStringLiteral("Voltage")) {
    PortableCsv::Reading r;
    r.row = row;
    r.when = dateTimeToDays(when);
    r.shownValue = shown;
    r.value = value;
    r.unit = unit;
    r.function = function;
    return r;
}

} // namespace

class TestPortableCsv : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // A zone with summer time, so that both offsets of a year are seen.
        qputenv("TZ", "Europe/Berlin");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void rows_data();
    void rows();
    void valueInTheUsersLocale();
    void fieldsRoundTrip();
    void summaryFromFirstAndLastLine();
};

void TestPortableCsv::rows_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("marks"); // coupling, range, flags
    QTest::addColumn<QByteArray>("expected");
    const QDateTime winter(QDate(2026, 12, 8), QTime(14, 3, 2, 125));
    const QDateTime summer(QDate(2026, 7, 1), QTime(0, 0, 0, 7));
    QTest::newRow("millivolts, winter")
        << winter << "-50.0" << -50.0 << "mV" << QStringList()
        << QByteArray("1,2026-12-08T14:03:02.125+01:00,-50.0,mV,-0.05,V,Voltage,,,\r\n");
    QTest::newRow("volts, summer")
        << summer << "1.234" << 1.234 << "V" << QStringList()
        << QByteArray("1,2026-07-01T00:00:00.007+02:00,1.234,V,1.234,V,Voltage,,,\r\n");
    QTest::newRow("kilo-ohms") << winter << "7.50" << 7.5 << "KOhm" << QStringList()
                               << QByteArray("1,2026-12-08T14:03:02.125+01:00,7.50,KOhm,7500,"
                                             "Ohm,Voltage,,,\r\n");
    QTest::newRow("microfarads") << winter << "3.300" << 3.3 << "uF" << QStringList()
                                 << QByteArray("1,2026-12-08T14:03:02.125+01:00,3.300,uF,"
                                               "3.3e-06,F,Voltage,,,\r\n");
    QTest::newRow("fahrenheit is celsius")
        << winter << "212" << 212.0 << "F" << QStringList()
        << QByteArray("1,2026-12-08T14:03:02.125+01:00,212,F,100,\xC2\xB0" "C,Voltage,,,\r\n");
    QTest::newRow("overload has no SI value")
        << winter << "-OL" << 0.0 << "V" << QStringList()
        << QByteArray("1,2026-12-08T14:03:02.125+01:00,-OL,V,,,Voltage,,,\r\n");
    QTest::newRow("coupling, range and flags")
        << winter << "-OL" << 0.0 << "V" << QStringList{"DC", "manual", "overload hold"}
        << QByteArray("1,2026-12-08T14:03:02.125+01:00,-OL,V,,,Voltage,DC,manual,"
                      "overload hold\r\n");
    QTest::newRow("a mark that needs quotes")
        << winter << "1.000" << 1.0 << "V" << QStringList{"AC", "", "max,min"}
        << QByteArray("1,2026-12-08T14:03:02.125+01:00,1.000,V,1,V,Voltage,AC,,\"max,min\"\r\n");
}

void TestPortableCsv::rows() {
    QFETCH(QDateTime, when);
    QFETCH(QString, shown);
    QFETCH(double, value);
    QFETCH(QString, unit);
    QFETCH(QStringList, marks);
    QFETCH(QByteArray, expected);
    PortableCsv csv;
    QByteArray out;
    PortableCsv::Reading r = reading(1, when, shown, value, unit);
    r.coupling = marks.value(0);
    r.range = marks.value(1);
    r.flags = marks.value(2);
    csv.appendRow(out, r);
    QCOMPARE(out, expected);
    QCOMPARE(PortableCsv::splitLine(out).size(), PortableCsv::ColumnCount);
    // The time reads back to the same instant.
    const auto back = PortableCsv::parseTime(PortableCsv::splitLine(out)[PortableCsv::Time]);
    QVERIFY(back);
    QCOMPARE(back->toMSecsSinceEpoch(), when.toMSecsSinceEpoch());
}

void TestPortableCsv::valueInTheUsersLocale() {
    // A German user sees "1,234": the file still has a dot, and the comma does not split it.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    PortableCsv csv;
    QByteArray out;
    csv.appendRow(out, reading(12, QDateTime(QDate(2026, 3, 29), QTime(1, 59, 59, 999)),
                               QStringLiteral("1,234"), 1.234, QStringLiteral("mV")));
    csv.appendRow(out, reading(13, QDateTime(QDate(2026, 3, 29), QTime(3, 0, 0, 0)),
                               QStringLiteral("-0,5"), -0.5, QStringLiteral("mA")));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // Summer time starts between the two rows (02:00 does not exist that night).
    QCOMPARE(out, QByteArray("12,2026-03-29T01:59:59.999+01:00,1.234,mV,0.001234,V,Voltage,,,\r\n"
                             "13,2026-03-29T03:00:00.000+02:00,-0.5,mA,-0.0005,A,Voltage,,,\r\n"));
}

void TestPortableCsv::fieldsRoundTrip() {
    QByteArray line;
    const QList<QByteArray> fields = {"plain", "a,b", "say \"hi\"", "", "line\nbreak"};
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        PortableCsv::appendField(line, fields[i]);
    }
    QCOMPARE(line, QByteArray("plain,\"a,b\",\"say \"\"hi\"\"\",,\"line break\""));
    const QList<QByteArray> back = PortableCsv::splitLine(QByteArray(line + "\r\n"));
    QCOMPARE(back, (QList<QByteArray>{"plain", "a,b", "say \"hi\"", "", "line break"}));
    QVERIFY(PortableCsv::isHeader(PortableCsv::header()));
    QVERIFY(PortableCsv::isHeader(QByteArray("\xEF\xBB\xBF" + PortableCsv::header())));
    QVERIFY(!PortableCsv::isHeader("row,time,value"));
    // Files written before coupling, range and flags, and files with columns added later.
    QVERIFY(PortableCsv::isHeader("row,time,value,unit,si_value,si_unit,function\r\n"));
    QVERIFY(PortableCsv::isHeader("row,time,value,unit,si_value,si_unit,function,coupling,range,"
                                  "flags,channel\r\n"));
    QVERIFY(!PortableCsv::isHeader("row,time,value,unit,si_value,si_unit,functions"));
}

void TestPortableCsv::summaryFromFirstAndLastLine() {
    QTemporaryDir dir;
    const QString path = dir.filePath("r.csv");
    PortableCsv csv;
    QByteArray text = PortableCsv::header();
    const QDateTime start(QDate(2026, 12, 8), QTime(23, 59, 58));
    for (int i = 1; i <= 500; ++i)
        csv.appendRow(text, reading(i, start.addSecs(i - 1), QStringLiteral("2.000"), 2.0,
                                    QStringLiteral("KOhm"), QStringLiteral("OHM")));
    // A crash cut the last row in half: it does not count.
    text += "501,2026-12-09T00:08:";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    const PortableCsv::Summary s = PortableCsv::summarize(path);
    QVERIFY(s.valid);
    QCOMPARE(s.rows, 500);
    QCOMPARE(s.start->toMSecsSinceEpoch(), start.toMSecsSinceEpoch());
    QCOMPARE(s.end->toMSecsSinceEpoch(), start.addSecs(499).toMSecsSinceEpoch());
    QCOMPARE(s.unit, QStringLiteral("KOhm"));
    QCOMPARE(s.function, QStringLiteral("OHM"));

    // A file of the program's own TXT format is no journal.
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("12/08/2026\t14:03:02\t1.234\tV\t\r\n");
    file.close();
    QVERIFY(!PortableCsv::summarize(path).valid);
}

QTEST_GUILESS_MAIN(TestPortableCsv)
#include "test_portablecsv.moc"
