// The points of one chart subset: what is written, what is drawn, and the cheap append path.

#include "chartseries.h"

#include <QtTest>

#include <cmath>

namespace {

using Rule = ChartSeries::Rule;

Rule numberRule(double nullValue = 9999.0) {
    Rule r;
    r.nullValue = nullValue;
    r.useX = true;
    return r;
}

// The drawn container as (key, value) pairs, gaps as NaN.
QVector<QPair<double, double>> drawn(const ChartSeries& s) {
    QVector<QPair<double, double>> out;
    for (auto it = s.data()->constBegin(); it != s.data()->constEnd(); ++it)
        out.append({it->key, it->value});
    return out;
}

bool sameDrawn(const ChartSeries& a, const ChartSeries& b) {
    const auto da = drawn(a), db = drawn(b);
    if (da.size() != db.size())
        return false;
    for (int i = 0; i < da.size(); ++i) {
        if (da[i].first != db[i].first)
            return false;
        if (std::isnan(da[i].second) != std::isnan(db[i].second))
            return false;
        if (!std::isnan(da[i].second) && da[i].second != db[i].second)
            return false;
    }
    return true;
}

} // namespace

class TestChartSeries : public QObject {
    Q_OBJECT
private slots:
    void appendingMatchesRebuilding_data();
    void appendingMatchesRebuilding();
    void earlierWriteRebuilds();
    void writesAreInvisibleUntilUpdate();
    void readBack();
    void gapsAndUnwrittenPoints();
    void nullValueChangeRedraws();
    void outOfOrderTimesAreDrawnInOrder();
    void pointLimitAndTruncation();
    void dateTimeKeys();
};

void TestChartSeries::appendingMatchesRebuilding_data() {
    QTest::addColumn<QVector<double>>("xs");
    QTest::addColumn<QVector<float>>("ys");
    QTest::newRow("rising times") << QVector<double>{1, 2, 3, 4, 5}
                                  << QVector<float>{0.5f, -1.25f, 3, 4, 5};
    QTest::newRow("null in the middle")
        << QVector<double>{1, 2, 3, 4} << QVector<float>{1, 9999, 3, 4};
    QTest::newRow("equal times") << QVector<double>{1, 1, 1, 2} << QVector<float>{1, 2, 3, 4};
    QTest::newRow("clock set back")
        << QVector<double>{10, 11, 12, 11.5, 13} << QVector<float>{1, 2, 3, 4, 5};
}

// A recorder writes one point and redraws; a list graph writes all and redraws once. Both
// must draw the same thing, and the recorder must not pay for a rebuild per point.
void TestChartSeries::appendingMatchesRebuilding() {
    QFETCH(QVector<double>, xs);
    QFETCH(QVector<float>, ys);
    const Rule rule = numberRule();
    ChartSeries appended, rebuilt;
    appended.update(rule, 100);
    for (int p = 0; p < xs.size(); ++p) {
        appended.setX(p, xs[p]);
        appended.setY(p, ys[p]);
        appended.update(rule, 100);
        QVERIFY2(!appended.lastUpdateRebuilt(), qPrintable(QString::number(p)));
        rebuilt.setX(p, xs[p]);
        rebuilt.setY(p, ys[p]);
    }
    rebuilt.update(rule, 100);
    QVERIFY(sameDrawn(appended, rebuilt));
    QCOMPARE(appended.data()->size(), xs.size());
    // Drawn in key order whatever the write order.
    for (int i = 1; i < appended.data()->size(); ++i)
        QVERIFY(appended.data()->at(i - 1)->key <= appended.data()->at(i)->key);
}

void TestChartSeries::earlierWriteRebuilds() {
    const Rule rule = numberRule();
    ChartSeries s;
    for (int p = 0; p < 50; ++p) {
        s.setX(p, p);
        s.setY(p, float(p));
    }
    s.update(rule, 50);
    // A rescale rewrites every stored point.
    for (int p = 0; p < 50; ++p)
        s.setY(p, s.y(p) / 10.0f);
    s.update(rule, 50);
    QVERIFY(s.lastUpdateRebuilt());
    QCOMPARE(s.data()->size(), 50);
    QCOMPARE(s.data()->at(30)->value, double(30.0f / 10.0f));
}

void TestChartSeries::writesAreInvisibleUntilUpdate() {
    const Rule rule = numberRule();
    ChartSeries s;
    s.setX(0, 1);
    s.setY(0, 5);
    s.update(rule, 10);
    s.setY(0, 7);
    s.setX(1, 2);
    s.setY(1, 8);
    QCOMPARE(s.data()->size(), 1);
    QCOMPARE(s.data()->at(0)->value, 5.0);
    s.update(rule, 10);
    QCOMPARE(s.data()->size(), 2);
    QCOMPARE(s.data()->at(0)->value, 7.0);
}

void TestChartSeries::readBack() {
    ChartSeries s;
    s.setY(3, 0.1f);
    s.setX(3, 45000.123456789);
    s.setY(5, std::nanf(""));
    QCOMPARE(s.size(), 6);
    QCOMPARE(s.y(3), 0.1f); // single precision, exactly as written
    QCOMPARE(s.x(3), 45000.123456789);
    QVERIFY(s.hasY(3));
    QVERIFY(!s.hasY(4));
    QCOMPARE(s.y(4), 0.0f); // never written
    QVERIFY(std::isnan(s.y(5)));
    QVERIFY(s.hasY(5));
    QCOMPARE(s.y(-1), 0.0f);
    QCOMPARE(s.y(100), 0.0f);
    s.setY(-2, 1.0f); // ignored
    QCOMPARE(s.size(), 6);
}

void TestChartSeries::gapsAndUnwrittenPoints() {
    ChartSeries s;
    const float ys[] = {1, 9999, 3, 0, 5};
    for (int p = 0; p < 5; ++p) {
        s.setX(p, p + 1);
        if (p != 3)
            s.setY(p, ys[p]);
    }
    s.update(numberRule(9999.0), 5);
    // The null point is a gap (NaN keeps the line apart); the unwritten one is not drawn.
    const auto d = drawn(s);
    QCOMPARE(d.size(), 4);
    QCOMPARE(d[0], qMakePair(1.0, 1.0));
    QCOMPARE(d[1].first, 2.0);
    QVERIFY(std::isnan(d[1].second));
    QCOMPARE(d[2], qMakePair(3.0, 3.0));
    QCOMPARE(d[3], qMakePair(5.0, 5.0));
    QCOMPARE(s.y(1), 9999.0f);
    double lo, hi;
    QVERIFY(s.valueRange(lo, hi));
    QCOMPARE(lo, 1.0);
    QCOMPARE(hi, 5.0); // the null value does not widen the scale
}

void TestChartSeries::nullValueChangeRedraws() {
    ChartSeries s;
    for (int p = 0; p < 3; ++p) {
        s.setX(p, p);
        s.setY(p, 10.0f * p);
    }
    s.update(numberRule(10.0), 3);
    QVERIFY(std::isnan(s.data()->at(1)->value));
    s.update(numberRule(20.0), 3);
    QVERIFY(s.lastUpdateRebuilt());
    QCOMPARE(s.data()->at(1)->value, 10.0);
    QVERIFY(std::isnan(s.data()->at(2)->value));
}

void TestChartSeries::outOfOrderTimesAreDrawnInOrder() {
    const Rule rule = numberRule();
    ChartSeries s;
    const double xs[] = {5, 3, 4, 1};
    for (int p = 0; p < 4; ++p) {
        s.setX(p, xs[p]);
        s.setY(p, float(p));
    }
    s.update(rule, 4);
    QCOMPARE(s.data()->size(), 4);
    QCOMPARE(s.data()->at(0)->key, 1.0);
    QCOMPARE(s.data()->at(0)->value, 3.0);
    // Reading by point index is not affected by the drawing order.
    QCOMPARE(s.x(0), 5.0);
    QCOMPARE(s.y(3), 3.0f);
}

void TestChartSeries::pointLimitAndTruncation() {
    const Rule rule = numberRule();
    ChartSeries s;
    for (int p = 0; p < 10; ++p) {
        s.setX(p, p);
        s.setY(p, float(p));
    }
    s.update(rule, 4); // points beyond the chart's Points are not drawn
    QCOMPARE(s.data()->size(), 4);
    s.update(rule, 10);
    QCOMPARE(s.data()->size(), 10);
    s.truncate(6);
    QCOMPARE(s.size(), 6);
    QCOMPARE(s.y(7), 0.0f);
    s.update(rule, 10);
    QCOMPARE(s.data()->size(), 6);
    s.clear();
    QCOMPARE(s.size(), 0);
    s.update(rule, 10);
    QCOMPARE(s.data()->size(), 0);
}

void TestChartSeries::dateTimeKeys() {
    Rule rule = numberRule();
    rule.dateTime = true;
    // 1 Jan 1970 00:00 is day 25569; noon of the next day is 1.5 days later.
    QCOMPARE(ChartSeries::keyFor(rule, 0, 25569.0), 0.0);
    QCOMPARE(ChartSeries::keyFor(rule, 0, 25570.5), 129600.0);
    QCOMPARE(ChartSeries::xForKey(rule, 129600.0), 25570.5);
    QCOMPARE(ChartSeries::keyFor(numberRule(), 4, 17.0), 17.0);
    Rule byNumber; // x is the point number
    QCOMPARE(ChartSeries::keyFor(byNumber, 4, 17.0), 5.0);
}

QTEST_APPLESS_MAIN(TestChartSeries)
#include "test_chartseries.moc"
