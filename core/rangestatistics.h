#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <span>

// Statistics of a run of timed values (a chart's points between two times), computed in one
// pass in O(n) and O(1) memory, so that a million points take a few milliseconds.
//
// What counts:
// - a value that is a number and not an overload is counted: count, minimum and maximum with
//   the time of their first occurrence, mean and sample standard deviation (n - 1; 0 for a
//   single value), computed with Welford's update so that large offsets (a 230 V mains with
//   millivolt ripple) keep their digits;
// - an overload is counted in `overloads` and left out of everything else;
// - a gap (NaN: no reading, the link was down) is left out as well.
// The integral over time adds the trapezoids between neighbouring counted values. A gap or
// an overload between two values breaks it: nobody knows what the meter saw there, so no area
// is invented across it. Times are in seconds; the integral is in value x seconds.
struct RangeStatistics {
    std::int64_t count = 0;
    std::int64_t overloads = 0;
    double min = 0, minTime = 0;
    double max = 0, maxTime = 0;
    double mean = 0;
    double standardDeviation = 0;
    double integral = 0;        // value x s
    double integratedSpan = 0;  // seconds covered by the integral's trapezoids
    double firstTime = 0, lastTime = 0; // of the counted values

    double integralHours() const { return integral / 3600.0; }
};

// One timed value: `time` in seconds, `value` NaN for a gap.
struct TimedValue {
    double time = 0;
    double value = 0;
    bool overload = false;
    bool gapBefore = false; // the value follows a gap in the recording
};

// Feeds values in time order, one by one; result() may be read at any point.
class RangeStatisticsAccumulator {
public:
    void add(double time, double value, bool overload = false);
    // Nothing is known between the value added last and the next one.
    void addGap() { m_hasPrevious = false; }
    const RangeStatistics& result() const { return m_result; }

private:
    RangeStatistics m_result;
    double m_m2 = 0; // sum of squared differences from the mean
    bool m_hasPrevious = false;
    double m_previousTime = 0, m_previousValue = 0;
};

// The statistics of the values whose time lies in [from, to] (in time order).
RangeStatistics computeRangeStatistics(std::span<const TimedValue> values, double from,
                                       double to);

// The statistics as text for the clipboard: one "name<TAB>value" line each, numbers with the
// default locale, the unit after each value, the integral in "<unit>·s" and "<unit>·h", times
// by `timeText`. An empty range says so.
QString rangeStatisticsText(const RangeStatistics& s, const QString& unit,
                            const std::function<QString(double)>& timeText);
