// The live output formats of ql350-cli, reading by reading: JSON with every key on every line
// and the meter's own digits, InfluxDB line protocol read back by a parser written from the
// protocol's escape rules, the portable CSV with several meters, and the meter ids.

#include "metersession.h"
#include "readingformatter.h"
#include "reading.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QtTest>

Q_DECLARE_METATYPE(Reading)

namespace {

Reading reading(std::int32_t count, std::int32_t divisor, const QString& unit,
                const QString& function, bool ac = false, bool dc = true) {
    Reading r;
    r.count = count;
    r.divisor = divisor;
    r.value = float(count) / float(divisor);
    r.unitText = unit;
    r.functionName = function;
    r.ac = ac;
    r.dc = dc;
    r.autoRange = true;
    return r;
}

Reading overload(bool negative) {
    Reading r = reading(0, 1000, "V", "Voltage");
    r.overload = true;
    r.negative = negative;
    r.autoRange = false;
    return r;
}

StampedReading stamp(const QString& meter, qint64 sequence) {
    return {meter, sequence,
            QDateTime(QDate(2026, 12, 8), QTime(14, 3, 2, 125), QTimeZone(3600)), 1500};
}

// One line of InfluxDB line protocol, parsed by its rules: the measurement ends at the first
// unescaped comma or space; tags are key=value pairs split at unescaped commas, with "\,",
// "\ " and "\=" standing for themselves; fields follow after an unescaped space, then the
// timestamp. Nothing when the line breaks a rule.
struct InfluxLine {
    QString measurement;
    QMap<QString, QString> tags;
    QMap<QString, QString> fields;
    qint64 timestamp = 0;
};

std::optional<InfluxLine> parseInflux(const QByteArray& text) {
    if (!text.endsWith('\n') || text.count('\n') != 1)
        return std::nullopt;
    // Split into the unescaped parts: sections at spaces, items at commas, key/value at '='.
    QList<QList<QStringList>> sections{{{""}}};
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 2 < text.size() && QByteArray(", =").contains(text[i + 1])) {
            sections.last().last().last() += QChar::fromLatin1(text[++i]);
            continue;
        }
        if (c == ' ')
            sections += QList<QStringList>{{""}};
        else if (c == ',')
            sections.last() += QStringList{""};
        else if (c == '=')
            sections.last().last() += QString();
        else
            sections.last().last().last() += QChar::fromLatin1(c);
    }
    if (sections.size() != 3 || sections[0][0].size() != 1 || sections[2].size() != 1)
        return std::nullopt;
    InfluxLine line;
    line.measurement = sections[0][0][0];
    for (qsizetype i = 1; i < sections[0].size(); ++i) {
        const QStringList& tag = sections[0][i];
        if (tag.size() != 2 || tag[0].isEmpty() || tag[1].isEmpty())
            return std::nullopt;
        line.tags.insert(tag[0], tag[1]);
    }
    for (const QStringList& field : sections[1]) {
        if (field.size() != 2 || field[0].isEmpty() || field[1].isEmpty())
            return std::nullopt;
        line.fields.insert(field[0], field[1]);
    }
    bool ok = false;
    line.timestamp = sections[2][0][0].toLongLong(&ok);
    if (!ok || line.measurement.isEmpty() || line.fields.isEmpty())
        return std::nullopt;
    return line;
}

} // namespace

class TestReadingFormatter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The portable rows are written in local time with its offset: a zone one hour east.
        qputenv("TZ", "Europe/Berlin");
    }
    void jsonAndInflux_data();
    void jsonAndInflux();
    void separatedColumnsAndHeaders();
    void meterIds();
};

void TestReadingFormatter::jsonAndInflux_data() {
    QTest::addColumn<Reading>("reading");
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QByteArray>("jsonValue"); // as written, digits and all
    QTest::addColumn<QVariant>("siValue");
    QTest::addColumn<QVariant>("coupling");
    QTest::addColumn<QString>("flags");

    QTest::newRow("trailing zeros kept") << reading(1230, 1000, "V", "Voltage") << "pts_3-122"
                                         << QByteArray("1.230") << QVariant(1.23)
                                         << QVariant("DC") << "";
    QTest::newRow("negative millivolts") << reading(-5670, 10, "mV", "Voltage") << "pts_3-122"
                                         << QByteArray("-567.0") << QVariant(-0.567)
                                         << QVariant("DC") << "";
    QTest::newRow("no coupling, tag characters in the meter id")
        << reading(1005, 10, "KOhm", "OHM", false, false) << "lab 2,bench=1-122"
        << QByteArray("100.5") << QVariant(100500.0) << QVariant() << "";
    QTest::newRow("AC, held, relative") << [] {
        Reading r = reading(200, 100, "V", "Voltage", true, false);
        r.peakHold = true;
        r.annunciators = 1u << annREL;
        return r;
    }() << "ttyUSB0-122-A1B2" << QByteArray("2.00") << QVariant(2.0) << QVariant("AC")
                                        << "hold relative";
    QTest::newRow("overload") << overload(false) << "pts_3-122" << QByteArray("null")
                              << QVariant() << QVariant("DC") << "overload";
    QTest::newRow("negative overload") << overload(true) << "pts_3-122" << QByteArray("null")
                                       << QVariant() << QVariant("DC") << "overload";
}

void TestReadingFormatter::jsonAndInflux() {
    QFETCH(Reading, reading);
    QFETCH(QString, meter);
    QFETCH(QByteArray, jsonValue);
    QFETCH(QVariant, siValue);
    QFETCH(QVariant, coupling);
    QFETCH(QString, flags);

    ReadingFormatter json({CliOptions::Format::Json});
    QVERIFY(json.header().isEmpty());
    const QByteArray line = json.line(reading, stamp(meter, 42));
    QVERIFY(line.endsWith("}\n") && line.count('\n') == 1);
    QVERIFY2(line.contains(QByteArray("\"value\":" + jsonValue + ",")), line.constData());
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    // Every key on every line, whatever the reading.
    QCOMPARE(o.keys(), QStringList({"auto", "coupling", "flags", "function", "hold", "meter",
                                    "monotonic_ms", "negative", "overload", "seq", "si_unit",
                                    "si_value", "time", "unit", "value"}));
    QCOMPARE(o.value("meter").toString(), meter);
    QCOMPARE(o.value("seq").toInteger(), 42);
    QCOMPARE(o.value("monotonic_ms").toInteger(), 1500);
    QCOMPARE(o.value("time").toString(), QStringLiteral("2026-12-08T14:03:02.125+01:00"));
    QCOMPARE(o.value("overload").toBool(), reading.overload);
    QCOMPARE(o.value("negative").toBool(), reading.negative);
    QCOMPARE(o.value("flags").toString(), flags);
    QCOMPARE(o.value("coupling").isNull(), !coupling.isValid());
    QCOMPARE(o.value("coupling").toString(), coupling.toString());
    QCOMPARE(o.value("si_value").isNull(), !siValue.isValid());
    if (siValue.isValid())
        QVERIFY(qFuzzyCompare(o.value("si_value").toDouble(), siValue.toDouble()));

    ReadingFormatter influx({CliOptions::Format::Influx});
    const QByteArray lp = influx.line(reading, stamp(meter, 42));
    const std::optional<InfluxLine> parsed = parseInflux(lp);
    QVERIFY2(parsed, lp.constData());
    QCOMPARE(parsed->measurement, QStringLiteral("ql350"));
    QCOMPARE(parsed->tags.value("meter"), meter);
    QCOMPARE(parsed->tags.value("function"), reading.functionName);
    QCOMPARE(parsed->tags.value("unit"), reading.unitText);
    // A tag without a value is left out, never written empty.
    QCOMPARE(parsed->tags.contains("coupling"), coupling.isValid());
    QCOMPARE(parsed->tags.value("coupling"), coupling.toString());
    QCOMPARE(parsed->fields.value("overload"), QString(reading.overload ? "true" : "false"));
    QCOMPARE(parsed->fields.contains("value"), siValue.isValid());
    if (siValue.isValid()) {
        QCOMPARE(parsed->fields.value("value").toLatin1(), jsonValue);
        QVERIFY(qFuzzyCompare(parsed->fields.value("si_value").toDouble(), siValue.toDouble()));
    }
    QCOMPARE(parsed->timestamp, stamp(meter, 42).wall.toMSecsSinceEpoch() * 1000000);
}

void TestReadingFormatter::separatedColumnsAndHeaders() {
    using F = CliOptions::Format;
    const Reading r = reading(1230, 1000, "V", "Voltage");
    const struct {
        const char* name;
        ReadingFormatter::Settings settings;
        QByteArray header;
        QByteArray line;
    } cases[] = {
        {"tsv as before", {F::Tsv}, "", "2026-12-08T14:03:02.125+01:00\t1.230\tV\tVoltage\tDC\tauto\t\t\n"},
        {"tsv with header",
         {F::Tsv, false, true},
         "time\tvalue\tunit\tfunction\tcoupling\tranging\thold\toverload\n",
         "2026-12-08T14:03:02.125+01:00\t1.230\tV\tVoltage\tDC\tauto\t\t\n"},
        {"legacy csv, several meters, header",
         {F::Csv, true, true, true},
         "time,value,unit,function,coupling,ranging,hold,overload,meter,monotonic_ms\n",
         "2026-12-08T14:03:02.125+01:00,1.230,V,Voltage,DC,auto,,,\"a,b-122\",1500\n"},
        {"portable",
         {F::Csv},
         "row,time,value,unit,si_value,si_unit,function,coupling,range,flags\r\n",
         "1,2026-12-08T14:03:02.125+01:00,1.230,V,1.23,V,Voltage,DC,auto,\r\n"},
        {"portable, several meters",
         {F::Csv, false, false, true},
         "row,time,value,unit,si_value,si_unit,function,coupling,range,flags,meter,"
         "monotonic_ms\r\n",
         "1,2026-12-08T14:03:02.125+01:00,1.230,V,1.23,V,Voltage,DC,auto,,\"a,b-122\",1500\r\n"},
    };
    for (const auto& c : cases) {
        ReadingFormatter f(c.settings);
        QVERIFY2(f.header() == c.header, c.name);
        const QByteArray line = f.line(r, stamp("a,b-122", 1));
        QVERIFY2(line == c.line, qPrintable(QString(c.name) + ": " + line));
    }
}

void TestReadingFormatter::meterIds() {
    QCOMPARE(MeterSession::meterId("/dev/ttyUSB0", 122, "A10K3Q2F"),
             QStringLiteral("ttyUSB0-122-A10K3Q2F"));
    QCOMPARE(MeterSession::meterId("/dev/pts/4", 120, ""), QStringLiteral("pts_4-120"));
    // Topic wildcards and spaces never reach a topic name.
    QCOMPARE(MeterSession::meterId("/tmp/lab #1/meter+a", 122, "S N"),
             QStringLiteral("tmp_lab__1_meter_a-122-S_N"));
}

QTEST_GUILESS_MAIN(TestReadingFormatter)
#include "test_readingformatter.moc"
