#pragma once

#include <qcustomplot.h>

#include <array>
#include <vector>

// Smallest and largest value of every run of 8, 64, 512 and 4096 consecutive entries of a
// graph's data container (NaN gaps left out, but noted), so that the value span of any index
// range costs at most a few dozen steps near its ends, plus one per 4096 entries between:
// an end off a block boundary reads at most 7 single entries and 7 blocks of each size, which
// lie next to each other. Kept up to date in O(1) amortized per appended entry; a change
// further back recomputes from the changed 4096-block on.
class MinMaxBlocks {
public:
    static constexpr int kFanOut = 8;
    static constexpr int kLevels = 4;
    // Entries per block of each level, finest first.
    static constexpr std::array<int, kLevels> kBlock = {8, 64, 512, 4096};
    static constexpr int kSmall = kBlock.front();
    static constexpr int kLarge = kBlock.back();

    // Entries from `index` on have changed (or gone).
    void invalidateFrom(int index);
    // Takes in the entries of `data` not yet summarised.
    void sync(const QCPGraphDataContainer& data);
    int summarised() const { return m_valid; }

    struct Span {
        double low = 0, high = 0;
        bool hasValue = false; // some entry is a number
        bool hasGap = false;   // some entry is NaN
    };
    // The values of entries [from, to) of `data`, which must have been synced.
    Span span(const QCPGraphDataContainer& data, int from, int to) const;

private:
    static void take(Span& s, double v);
    static void take(Span& s, const Span& other);

    // m_level[k][j] spans entries [j * kBlock[k], (j + 1) * kBlock[k]). Every block but the last
    // of a level is complete; the last may still be filling, and is then not read. A level's
    // last block takes in a finer block only once that one is complete.
    std::array<std::vector<Span>, kLevels> m_level;
    int m_valid = 0; // entries summarised
};
