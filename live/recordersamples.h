#pragma once

#include <QString>

#include <vector>

// The recorder's samples as they were taken, each value in the unit of its own reading, and
// the same values converted into one common unit for the chart.
//
// A recording changes units whenever the meter changes range (mV and V, kOhm and MOhm), and
// may change back. The chart shows every point in one unit, so each point has to be converted
// from the unit it was actually taken in; converting the plotted values from one display unit
// to the next would go wrong as soon as a unit is left and entered again, and would gather
// rounding errors. Units change rarely, so they are kept as runs rather than per sample: a run
// is the index of its first sample and the size of the unit all its samples were taken in,
// up to the next run. The values themselves are kept as taken (single precision, as the
// meter's readings are), so a conversion always starts from the value as read.
//
// Unit sizes are relative to the smallest unit of the same quantity (mV 1, V 1000; Ohm 1,
// KOhm 1000, MOhm 1000000; ...): the conversion factor from unit a to unit b is a / b.
class RecorderSamples {
public:
    void clear();
    // Adds a sample taken in a unit of the given size (> 0).
    void append(float value, int unitSize);

    int size() const { return int(m_values.size()); }
    float value(int index) const { return m_values[std::size_t(index)]; }
    // The unit size sample `index` was taken in.
    int unitSizeAt(int index) const;
    // Sample `index` converted into a unit of size `displayUnit`, in single precision.
    float converted(int index, int displayUnit) const;
    // Calls f(index, converted value) for every sample, run by run.
    template <typename F> void forEachConverted(int displayUnit, F f) const;

    // Number of runs of one unit (for tests).
    int runCount() const { return int(m_runs.size()); }

    // The size of a unit as the live reading names it (unitText); 1 for any unit that has no
    // larger or smaller relative (currents are separate functions; C and F are not multiples).
    static int unitSize(const QString& unitText);

private:
    struct Run {
        int first;
        int unitSize;
    };
    static float convert(float value, int from, int to);

    std::vector<float> m_values;
    std::vector<Run> m_runs;
};

template <typename F> void RecorderSamples::forEachConverted(int displayUnit, F f) const {
    for (std::size_t r = 0; r < m_runs.size(); ++r) {
        const int end = r + 1 < m_runs.size() ? m_runs[r + 1].first : size();
        for (int i = m_runs[r].first; i < end; ++i)
            f(i, convert(m_values[std::size_t(i)], m_runs[r].unitSize, displayUnit));
    }
}
