#include "chartseries.h"

#include "daycount.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// Marks a y that was never written. Written NaNs are stored as the plain quiet NaN, so the
// two never meet.
constexpr std::uint32_t kUnsetBits = 0x7fc0deadu;
const float kUnset = std::bit_cast<float>(kUnsetBits);

bool isUnset(float v) {
    return std::bit_cast<std::uint32_t>(v) == kUnsetBits;
}

// A drawn entry that breaks the line between two keys.
QCPGraphData gapBetween(double before, double after) {
    return QCPGraphData(before + (after - before) / 2, std::numeric_limits<double>::quiet_NaN());
}

} // namespace

ChartSeries::ChartSeries() : m_data(new QCPGraphDataContainer) {}

float ChartSeries::y(int point) const {
    if (point < 0 || point >= size() || isUnset(m_y[point]))
        return 0.0f;
    return m_y[point];
}

double ChartSeries::x(int point) const {
    if (point < 0 || point >= size())
        return 0.0;
    return m_x[point];
}

bool ChartSeries::hasY(int point) const {
    return point >= 0 && point < size() && !isUnset(m_y[point]);
}

void ChartSeries::setY(int point, float value) {
    if (point < 0)
        return;
    if (point >= size()) {
        m_x.resize(point + 1, 0.0);
        m_y.resize(point + 1, kUnset);
    }
    m_y[point] = std::isnan(value) ? std::numeric_limits<float>::quiet_NaN() : value;
    m_dirtyFrom = std::min(m_dirtyFrom, point);
}

void ChartSeries::setX(int point, double value) {
    if (point < 0)
        return;
    if (point >= size()) {
        m_x.resize(point + 1, 0.0);
        m_y.resize(point + 1, kUnset);
    }
    m_x[point] = value;
    m_dirtyFrom = std::min(m_dirtyFrom, point);
}

void ChartSeries::setMark(int point, Mark mark, bool on) {
    if (point < 0 || (!on && !hasMark(point, mark)))
        return;
    if (point >= int(m_marks.size()))
        m_marks.resize(std::max<std::size_t>(point + 1, m_y.size()), 0);
    m_marks[point] = on ? (m_marks[point] | mark) : (m_marks[point] & ~mark);
    if (mark == GapBefore)
        m_dirtyFrom = std::min(m_dirtyFrom, point);
}

bool ChartSeries::hasMark(int point, Mark mark) const {
    return point >= 0 && point < int(m_marks.size()) && (m_marks[point] & mark);
}

void ChartSeries::clear() {
    std::vector<double>().swap(m_x);
    std::vector<float>().swap(m_y);
    std::vector<std::uint8_t>().swap(m_marks);
    m_dirtyFrom = 0;
}

void ChartSeries::truncate(int count) {
    count = std::max(count, 0);
    if (count >= size())
        return;
    m_x.resize(count);
    m_y.resize(count);
    if (int(m_marks.size()) > count)
        m_marks.resize(count);
    if (count == 0) {
        clear();
        return;
    }
    m_dirtyFrom = std::min(m_dirtyFrom, count);
}

double ChartSeries::keyFor(const Rule& rule, int point, double x) {
    const double v = rule.useX ? x : double(point) + 1.0;
    return rule.dateTime ? DaysToEpochSeconds(v) : v;
}

double ChartSeries::xForKey(const Rule& rule, double key) {
    return rule.dateTime ? EpochSecondsToDays(key) : key;
}

bool ChartSeries::drawnPoint(const Rule& rule, int point, float nullValue,
                             QCPGraphData& out) const {
    const float yv = m_y[point];
    if (isUnset(yv))
        return false;
    out.key = keyFor(rule, point, m_x[point]);
    if (!std::isfinite(out.key))
        return false;
    // A null value stays in the container as a NaN, which QCPGraph draws as a gap.
    const bool gap = !std::isfinite(yv) || yv == nullValue;
    out.value = gap ? std::numeric_limits<double>::quiet_NaN() : double(yv);
    return true;
}

void ChartSeries::widenRanges(const QCPGraphData& d) {
    m_keyLow = m_hasKeys ? std::min(m_keyLow, d.key) : d.key;
    m_keyHigh = m_hasKeys ? std::max(m_keyHigh, d.key) : d.key;
    m_hasKeys = true;
    if (std::isnan(d.value))
        return;
    m_valueLow = m_hasValues ? std::min(m_valueLow, d.value) : d.value;
    m_valueHigh = m_hasValues ? std::max(m_valueHigh, d.value) : d.value;
    m_hasValues = true;
}

void ChartSeries::update(const Rule& rule, int points) {
    const int limit = std::clamp(points, 0, size());
    const float nullValue = float(rule.nullValue);
    QCPGraphData d;
    m_lastRebuilt = !(rule == m_rule) || m_dirtyFrom < m_built || limit < m_built;
    if (m_lastRebuilt) {
        m_rule = rule;
        m_data->clear();
        m_hasKeys = m_hasValues = false;
        QVector<QCPGraphData> drawn;
        drawn.reserve(limit);
        for (int p = 0; p < limit; ++p) {
            if (drawnPoint(rule, p, nullValue, d)) {
                if (hasMark(p, GapBefore) && !drawn.isEmpty())
                    drawn.append(gapBetween(drawn.back().key, d.key));
                drawn.append(d);
                widenRanges(d);
            }
        }
        // Written x values out of order (a clock set back) are drawn in key order.
        const auto byKey = [](const QCPGraphData& a, const QCPGraphData& b) {
            return a.key < b.key;
        };
        if (!std::is_sorted(drawn.begin(), drawn.end(), byKey))
            std::stable_sort(drawn.begin(), drawn.end(), byKey);
        m_data->set(drawn, true);
        m_blocks.invalidateFrom(0);
    } else {
        // Appending is O(1) amortized while keys do not fall; an earlier key is inserted in
        // order, which moves the later points.
        for (int p = m_built; p < limit; ++p) {
            if (!drawnPoint(rule, p, nullValue, d))
                continue;
            if (hasMark(p, GapBefore) && !m_data->isEmpty())
                m_data->add(gapBetween((m_data->constEnd() - 1)->key, d.key));
            if (!m_data->isEmpty() && d.key < (m_data->constEnd() - 1)->key) {
                const auto at =
                    std::lower_bound(m_data->constBegin(), m_data->constEnd(), d.key,
                                     [](const QCPGraphData& e, double key) { return e.key < key; });
                m_blocks.invalidateFrom(int(at - m_data->constBegin()));
            }
            m_data->add(d);
            widenRanges(d);
        }
    }
    m_blocks.sync(*m_data);
    m_built = limit;
    m_dirtyFrom = std::numeric_limits<int>::max();
}

bool ChartSeries::keyRange(double& lower, double& upper) const {
    lower = m_keyLow;
    upper = m_keyHigh;
    return m_hasKeys;
}

bool ChartSeries::valueRange(double& lower, double& upper) const {
    lower = m_valueLow;
    upper = m_valueHigh;
    return m_hasValues;
}

RangeStatistics ChartSeries::statistics(const Rule& rule, double fromKey, double toKey) const {
    RangeStatisticsAccumulator sum;
    const float nullValue = float(rule.nullValue);
    const int built = std::min(m_built, size());
    for (int p = 0; p < built; ++p) {
        const float yv = m_y[p];
        if (isUnset(yv))
            continue;
        const double key = keyFor(rule, p, m_x[p]);
        if (!(key >= fromKey && key <= toKey))
            continue;
        if (hasMark(p, GapBefore))
            sum.addGap();
        const bool gap = !std::isfinite(yv) || yv == nullValue;
        sum.add(key, gap ? std::numeric_limits<double>::quiet_NaN() : double(yv),
                hasMark(p, Overload));
    }
    return sum.result();
}

int ChartSeries::pointNear(const Rule& rule, const QCPAxis* keyAxis, const QCPAxis* valueAxis,
                           QPointF pos, double tolerance, double* distance) const {
    // A click is rare next to a redraw: a scan over the written points keeps the point index
    // without a second index structure.
    int best = -1;
    double bestDist = tolerance;
    const float nullValue = float(rule.nullValue);
    for (int p = 0; p < m_built; ++p) {
        const float yv = m_y[p];
        if (isUnset(yv) || !std::isfinite(yv) || yv == nullValue)
            continue;
        const double px = keyAxis->coordToPixel(keyFor(rule, p, m_x[p]));
        const double py = valueAxis->coordToPixel(double(yv));
        const double d = std::hypot(px - pos.x(), py - pos.y());
        if (d <= bestDist) {
            if (best < 0 || d < bestDist)
                best = p;
            bestDist = d;
        }
    }
    if (distance)
        *distance = bestDist;
    return best;
}
