#pragma once

#include <qcustomplot.h>

#include <vector>

// Smallest and largest value of every run of 64 and of 4096 consecutive entries of a graph's
// data container (NaN gaps left out, but noted), so that the value span of any index range
// costs at most a few hundred steps however long the range is. Kept up to date in O(1) per
// appended entry; a change further back recomputes from the changed block on.
class MinMaxBlocks {
public:
    static constexpr int kSmall = 64;
    static constexpr int kLarge = kSmall * kSmall;

    // Entries from `index` on have changed (or gone).
    void invalidateFrom(int index);
    // Takes in the entries of `data` not yet summarised.
    void sync(const QCPGraphDataContainer& data);
    int summarised() const { return mValid; }

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

    std::vector<Span> mSmall, mLarge;
    int mValid = 0; // entries summarised
};
