#include "recordersamples.h"

#include <algorithm>

void RecorderSamples::clear() {
    // Give the memory back: a recording may have held millions of samples.
    std::vector<float>().swap(mValues);
    std::vector<Run>().swap(mRuns);
}

void RecorderSamples::append(float value, int unitSize) {
    if (mRuns.empty() || mRuns.back().unitSize != unitSize)
        mRuns.push_back({size(), unitSize});
    mValues.push_back(value);
}

int RecorderSamples::unitSizeAt(int index) const {
    const auto after = std::upper_bound(mRuns.begin(), mRuns.end(), index,
                                        [](int i, const Run& run) { return i < run.first; });
    return after == mRuns.begin() ? 1 : std::prev(after)->unitSize;
}

float RecorderSamples::converted(int index, int displayUnit) const {
    return convert(value(index), unitSizeAt(index), displayUnit);
}

float RecorderSamples::convert(float value, int from, int to) {
    if (from == to || to <= 0)
        return value;
    return float(double(value) * from / to);
}

int RecorderSamples::UnitSize(const QString& unitText) {
    static const struct {
        const char16_t* unit;
        int size;
    } sizes[] = {
        // Every other unit, the smallest of its kind among them, has size 1.
        {u"V", 1000},       {u"MHz", 1000}, {u"MRPM", 1000},  {u"KOhm", 1000},
        {u"MOhm", 1000000}, {u"uF", 1000},  {u"mF", 1000000},
    };
    for (const auto& s : sizes) {
        if (unitText == QStringView(s.unit))
            return s.size;
    }
    return 1;
}
