// Range statistics: each case is checked against sums computed here the plain two-pass way,
// over the values the case says count.

#include "rangestatistics.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Expected {
    std::int64_t count = 0;
    std::int64_t overloads = 0;
    double min = 0, minTime = 0, max = 0, maxTime = 0, mean = 0, sd = 0, integral = 0;
};

// Independent reference: two passes over the counted values, trapezoids only between
// neighbours with nothing (gap, overload, out of range) between them.
Expected reference(const std::vector<TimedValue>& in, double from, double to) {
    Expected e;
    std::vector<TimedValue> counted;
    const TimedValue* previous = nullptr;
    for (const TimedValue& v : in) {
        if (v.time < from || v.time > to)
            continue;
        if (v.overload && !std::isnan(v.value)) {
            ++e.overloads;
            previous = nullptr;
            continue;
        }
        if (std::isnan(v.value) || v.gapBefore)
            previous = nullptr;
        if (std::isnan(v.value))
            continue;
        if (previous)
            e.integral += (previous->value + v.value) / 2 * (v.time - previous->time);
        previous = &v;
        counted.push_back(v);
    }
    e.count = std::int64_t(counted.size());
    if (counted.empty())
        return e;
    e.min = e.max = counted[0].value;
    e.minTime = e.maxTime = counted[0].time;
    double sum = 0;
    for (const TimedValue& v : counted) {
        sum += v.value;
        if (v.value < e.min) {
            e.min = v.value;
            e.minTime = v.time;
        }
        if (v.value > e.max) {
            e.max = v.value;
            e.maxTime = v.time;
        }
    }
    e.mean = sum / double(counted.size());
    double squares = 0;
    for (const TimedValue& v : counted)
        squares += (v.value - e.mean) * (v.value - e.mean);
    e.sd = counted.size() > 1 ? std::sqrt(squares / double(counted.size() - 1)) : 0.0;
    return e;
}

bool near(double a, double b) {
    return std::abs(a - b) <= 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
}

} // namespace

Q_DECLARE_METATYPE(std::vector<TimedValue>)

class TestRangeStatistics : public QObject {
    Q_OBJECT
private slots:
    void againstReference_data();
    void againstReference();
    void knownValues();
    void clipboardText();
};

void TestRangeStatistics::againstReference_data() {
    QTest::addColumn<std::vector<TimedValue>>("values");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    const double all = std::numeric_limits<double>::infinity();
    std::vector<TimedValue> ramp;
    for (int i = 0; i < 50; ++i)
        ramp.push_back({double(i) * 2, 21.0 + i * 0.94});
    std::vector<TimedValue> withOverloads = ramp;
    withOverloads[3].overload = true;
    withOverloads[3].value = 6553.5;
    withOverloads[40].overload = true;
    withOverloads[40].value = -6553.5;
    std::vector<TimedValue> withGap = ramp;
    withGap[10].value = kNaN;
    withGap[30].gapBefore = true;
    std::vector<TimedValue> mains;
    for (int i = 0; i < 1000; ++i)
        mains.push_back({1e9 + i * 0.5, 230.0 + 0.001 * std::sin(i * 0.7)});
    QTest::newRow("ramp, all") << ramp << -all << all;
    QTest::newRow("ramp, part") << ramp << 10.0 << 51.0;
    QTest::newRow("overloads left out") << withOverloads << -all << all;
    QTest::newRow("gap and link down") << withGap << -all << all;
    QTest::newRow("one point") << std::vector<TimedValue>{{5, 1.5}} << -all << all;
    QTest::newRow("empty") << std::vector<TimedValue>{} << -all << all;
    QTest::newRow("nothing in range") << ramp << 1000.0 << 2000.0;
    QTest::newRow("only overloads")
        << std::vector<TimedValue>{{1, 4000, true}, {2, -4000, true}} << -all << all;
    QTest::newRow("large offset, tiny ripple") << mains << -all << all;
}

void TestRangeStatistics::againstReference() {
    QFETCH(std::vector<TimedValue>, values);
    QFETCH(double, from);
    QFETCH(double, to);
    const RangeStatistics s = computeRangeStatistics(values, from, to);
    const Expected e = reference(values, from, to);
    QCOMPARE(s.count, e.count);
    QCOMPARE(s.overloads, e.overloads);
    if (e.count == 0)
        return;
    QVERIFY2(near(s.min, e.min) && s.minTime == e.minTime, qPrintable(QString::number(s.min)));
    QVERIFY2(near(s.max, e.max) && s.maxTime == e.maxTime, qPrintable(QString::number(s.max)));
    QVERIFY2(near(s.mean, e.mean), qPrintable(QString::number(s.mean, 'g', 17)));
    QVERIFY2(std::abs(s.standardDeviation - e.sd) <= 1e-9 * std::max(1.0, e.sd) + 1e-12,
             qPrintable(QString::number(s.standardDeviation, 'g', 17)));
    QVERIFY2(near(s.integral, e.integral), qPrintable(QString::number(s.integral, 'g', 17)));
}

// A current of 2 A for an hour is 2 A·h; a square wave's numbers known by hand.
void TestRangeStatistics::knownValues() {
    std::vector<TimedValue> current;
    for (int i = 0; i <= 3600; ++i)
        current.push_back({double(i), 2.0});
    const RangeStatistics c = computeRangeStatistics(current, 0, 3600);
    QCOMPARE(c.count, 3601);
    QCOMPARE(c.integral, 7200.0);
    QCOMPARE(c.integralHours(), 2.0);
    QCOMPARE(c.standardDeviation, 0.0);

    const std::vector<TimedValue> square = {{0, 1}, {1, 3}, {2, 1}, {3, 3}};
    const RangeStatistics s = computeRangeStatistics(square, 0, 3);
    QCOMPARE(s.mean, 2.0);
    QCOMPARE(s.min, 1.0);
    QCOMPARE(s.minTime, 0.0);
    QCOMPARE(s.max, 3.0);
    QCOMPARE(s.maxTime, 1.0);
    QCOMPARE(s.integral, 6.0);
    QVERIFY(std::abs(s.standardDeviation - std::sqrt(4.0 / 3.0)) < 1e-12);
}

void TestRangeStatistics::clipboardText() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::vector<TimedValue> v = {{0, 1}, {3600, 3}, {7200, 4000, true}};
    const QString text = rangeStatisticsText(computeRangeStatistics(v, 0, 7200), QStringLiteral("A"),
                                             [](double t) { return QString::number(t); });
    QVERIFY2(text.contains(QStringLiteral("Count\t2\n")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Minimum\t1 A\t0\n")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Maximum\t3 A\t3600\n")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Integral\t7200 A·s\t2 A·h\n")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Overloads (left out)\t1\n")), qPrintable(text));
    const QString none = rangeStatisticsText(RangeStatistics{}, QString(), {});
    QCOMPARE(none, QStringLiteral("Count\t0\nOverloads (left out)\t0\n"));
}

QTEST_GUILESS_MAIN(TestRangeStatistics)
#include "test_rangestatistics.moc"
