#include "minmaxblocks.h"

#include <algorithm>
#include <cmath>

void MinMaxBlocks::take(Span& s, double v) {
    if (std::isnan(v)) {
        s.hasGap = true;
        return;
    }
    s.low = s.hasValue ? std::min(s.low, v) : v;
    s.high = s.hasValue ? std::max(s.high, v) : v;
    s.hasValue = true;
}

void MinMaxBlocks::take(Span& s, const Span& other) {
    s.hasGap = s.hasGap || other.hasGap;
    if (!other.hasValue)
        return;
    s.low = s.hasValue ? std::min(s.low, other.low) : other.low;
    s.high = s.hasValue ? std::max(s.high, other.high) : other.high;
    s.hasValue = true;
}

void MinMaxBlocks::invalidateFrom(int index) {
    // Restart at the large block holding `index`, so that every kept block is complete or the
    // last, growing one.
    const int start = std::clamp(index, 0, mValid) / kLarge * kLarge;
    mValid = start;
    mLarge.resize(start / kLarge);
    mSmall.resize(start / kSmall);
}

void MinMaxBlocks::sync(const QCPGraphDataContainer& data) {
    const int size = data.size();
    if (size < mValid)
        invalidateFrom(size);
    auto it = data.constBegin() + mValid;
    for (int i = mValid; i < size; ++i, ++it) {
        if (i % kSmall == 0)
            mSmall.emplace_back();
        if (i % kLarge == 0)
            mLarge.emplace_back();
        take(mSmall.back(), it->value);
        take(mLarge.back(), it->value);
    }
    mValid = size;
}

MinMaxBlocks::Span MinMaxBlocks::span(const QCPGraphDataContainer& data, int from, int to) const {
    Span s;
    from = std::max(from, 0);
    to = std::min(to, mValid);
    const auto at = [&](int i) { return (data.constBegin() + i)->value; };
    // Single entries up to a small-block boundary, small blocks up to a large-block boundary,
    // large blocks, then back down.
    while (from < to && from % kSmall != 0)
        take(s, at(from++));
    while (from + kSmall <= to && from % kLarge != 0) {
        take(s, mSmall[from / kSmall]);
        from += kSmall;
    }
    while (from + kLarge <= to) {
        take(s, mLarge[from / kLarge]);
        from += kLarge;
    }
    while (from + kSmall <= to) {
        take(s, mSmall[from / kSmall]);
        from += kSmall;
    }
    while (from < to)
        take(s, at(from++));
    return s;
}
