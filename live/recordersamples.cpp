#include "recordersamples.h"

#include "rangetable.h"

#include <algorithm>

void RecorderSamples::clear() {
    // Give the memory back: a recording may have held millions of samples.
    std::vector<float>().swap(m_values);
    std::vector<Run>().swap(m_runs);
}

void RecorderSamples::append(float value, int unitSize) {
    if (m_runs.empty() || m_runs.back().unitSize != unitSize)
        m_runs.push_back({size(), unitSize});
    m_values.push_back(value);
}

int RecorderSamples::unitSizeAt(int index) const {
    const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                        [](int i, const Run& run) { return i < run.first; });
    return after == m_runs.begin() ? 1 : std::prev(after)->unitSize;
}

float RecorderSamples::converted(int index, int displayUnit) const {
    return convert(value(index), unitSizeAt(index), displayUnit);
}

float RecorderSamples::convert(float value, int from, int to) {
    if (from == to || to <= 0)
        return value;
    return float(double(value) * from / to);
}

int RecorderSamples::unitSize(const QString& unitText) {
    return RangeTable::unitSize(unitText);
}
