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

} // namespace

ChartSeries::ChartSeries() : mData(new QCPGraphDataContainer) {}

float ChartSeries::y(int point) const {
    if (point < 0 || point >= size() || isUnset(mY[point]))
        return 0.0f;
    return mY[point];
}

double ChartSeries::x(int point) const {
    if (point < 0 || point >= size())
        return 0.0;
    return mX[point];
}

bool ChartSeries::hasY(int point) const {
    return point >= 0 && point < size() && !isUnset(mY[point]);
}

void ChartSeries::setY(int point, float value) {
    if (point < 0)
        return;
    if (point >= size()) {
        mX.resize(point + 1, 0.0);
        mY.resize(point + 1, kUnset);
    }
    mY[point] = std::isnan(value) ? std::numeric_limits<float>::quiet_NaN() : value;
    mDirtyFrom = std::min(mDirtyFrom, point);
}

void ChartSeries::setX(int point, double value) {
    if (point < 0)
        return;
    if (point >= size()) {
        mX.resize(point + 1, 0.0);
        mY.resize(point + 1, kUnset);
    }
    mX[point] = value;
    mDirtyFrom = std::min(mDirtyFrom, point);
}

void ChartSeries::clear() {
    std::vector<double>().swap(mX);
    std::vector<float>().swap(mY);
    mDirtyFrom = 0;
}

void ChartSeries::truncate(int count) {
    count = std::max(count, 0);
    if (count >= size())
        return;
    mX.resize(count);
    mY.resize(count);
    if (count == 0) {
        clear();
        return;
    }
    mDirtyFrom = std::min(mDirtyFrom, count);
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
    const float yv = mY[point];
    if (isUnset(yv))
        return false;
    out.key = keyFor(rule, point, mX[point]);
    if (!std::isfinite(out.key))
        return false;
    // A null value stays in the container as a NaN, which QCPGraph draws as a gap.
    const bool gap = !std::isfinite(yv) || yv == nullValue;
    out.value = gap ? std::numeric_limits<double>::quiet_NaN() : double(yv);
    return true;
}

void ChartSeries::widenRanges(const QCPGraphData& d) {
    mKeyLow = mHasKeys ? std::min(mKeyLow, d.key) : d.key;
    mKeyHigh = mHasKeys ? std::max(mKeyHigh, d.key) : d.key;
    mHasKeys = true;
    if (std::isnan(d.value))
        return;
    mValueLow = mHasValues ? std::min(mValueLow, d.value) : d.value;
    mValueHigh = mHasValues ? std::max(mValueHigh, d.value) : d.value;
    mHasValues = true;
}

void ChartSeries::update(const Rule& rule, int points) {
    const int limit = std::clamp(points, 0, size());
    const float nullValue = float(rule.nullValue);
    QCPGraphData d;
    mLastRebuilt = !(rule == mRule) || mDirtyFrom < mBuilt || limit < mBuilt;
    if (mLastRebuilt) {
        mRule = rule;
        mData->clear();
        mHasKeys = mHasValues = false;
        QVector<QCPGraphData> drawn;
        drawn.reserve(limit);
        for (int p = 0; p < limit; ++p) {
            if (drawnPoint(rule, p, nullValue, d)) {
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
        mData->set(drawn, true);
        mBlocks.invalidateFrom(0);
    } else {
        // Appending is O(1) amortized while keys do not fall; an earlier key is inserted in
        // order, which moves the later points.
        for (int p = mBuilt; p < limit; ++p) {
            if (!drawnPoint(rule, p, nullValue, d))
                continue;
            if (!mData->isEmpty() && d.key < (mData->constEnd() - 1)->key) {
                const auto at =
                    std::lower_bound(mData->constBegin(), mData->constEnd(), d.key,
                                     [](const QCPGraphData& e, double key) { return e.key < key; });
                mBlocks.invalidateFrom(int(at - mData->constBegin()));
            }
            mData->add(d);
            widenRanges(d);
        }
    }
    mBlocks.sync(*mData);
    mBuilt = limit;
    mDirtyFrom = std::numeric_limits<int>::max();
}

bool ChartSeries::keyRange(double& lower, double& upper) const {
    lower = mKeyLow;
    upper = mKeyHigh;
    return mHasKeys;
}

bool ChartSeries::valueRange(double& lower, double& upper) const {
    lower = mValueLow;
    upper = mValueHigh;
    return mHasValues;
}

int ChartSeries::pointNear(const Rule& rule, const QCPAxis* keyAxis, const QCPAxis* valueAxis,
                           QPointF pos, double tolerance, double* distance) const {
    // A click is rare next to a redraw: a scan over the written points keeps the point index
    // without a second index structure.
    int best = -1;
    double bestDist = tolerance;
    const float nullValue = float(rule.nullValue);
    for (int p = 0; p < mBuilt; ++p) {
        const float yv = mY[p];
        if (isUnset(yv) || !std::isfinite(yv) || yv == nullValue)
            continue;
        const double px = keyAxis->coordToPixel(keyFor(rule, p, mX[p]));
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
