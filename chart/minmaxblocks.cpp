#include "minmaxblocks.h"

#include <algorithm>
#include <cmath>

static_assert(MinMaxBlocks::kBlock[0] == MinMaxBlocks::kFanOut);
static_assert(MinMaxBlocks::kBlock[1] == MinMaxBlocks::kBlock[0] * MinMaxBlocks::kFanOut);
static_assert(MinMaxBlocks::kBlock[2] == MinMaxBlocks::kBlock[1] * MinMaxBlocks::kFanOut);
static_assert(MinMaxBlocks::kBlock[3] == MinMaxBlocks::kBlock[2] * MinMaxBlocks::kFanOut);

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
    // Restart at the largest block holding `index`: there every level's blocks are complete.
    const int start = std::clamp(index, 0, m_valid) / kLarge * kLarge;
    m_valid = start;
    for (int k = 0; k < kLevels; ++k)
        m_level[k].resize(start / kBlock[k]);
}

void MinMaxBlocks::sync(const QCPGraphDataContainer& data) {
    const int size = data.size();
    if (size < m_valid)
        invalidateFrom(size);
    auto it = data.constBegin() + m_valid;
    for (int i = m_valid; i < size; ++i, ++it) {
        if (i % kSmall == 0)
            m_level[0].emplace_back();
        take(m_level[0].back(), it->value);
        // Each block completed here goes into the block of the next level up.
        const int done = i + 1;
        for (int k = 1; k < kLevels && done % kBlock[k - 1] == 0; ++k) {
            if ((done - kBlock[k - 1]) % kBlock[k] == 0)
                m_level[k].emplace_back();
            take(m_level[k].back(), m_level[k - 1].back());
        }
    }
    m_valid = size;
}

MinMaxBlocks::Span MinMaxBlocks::span(const QCPGraphDataContainer& data, int from, int to) const {
    Span s;
    from = std::max(from, 0);
    to = std::min(to, m_valid);
    const auto first = data.constBegin();
    // Whole blocks of level k from `from` on, while they fit and `from` is not yet at a
    // boundary of the next level's blocks. Inlined with k constant, the divisions are shifts.
    const auto blocksUp = [&](int k) {
        const int stop = kBlock[k + 1];
        const int size = kBlock[k];
        const std::vector<Span>& level = m_level[k];
        while (from + size <= to && from % stop != 0) {
            take(s, level[from / size]);
            from += size;
        }
    };
    // Single entries up to a boundary of the finest blocks, those up to a boundary of the next
    // level, and so on up to the largest blocks; then back down to single entries at the end.
    while (from < to && from % kBlock[0] != 0)
        take(s, (first + from++)->value);
    blocksUp(0);
    blocksUp(1);
    blocksUp(2);
    for (; from + kBlock[3] <= to; from += kBlock[3])
        take(s, m_level[3][from / kBlock[3]]);
    for (; from + kBlock[2] <= to; from += kBlock[2])
        take(s, m_level[2][from / kBlock[2]]);
    for (; from + kBlock[1] <= to; from += kBlock[1])
        take(s, m_level[1][from / kBlock[1]]);
    for (; from + kBlock[0] <= to; from += kBlock[0])
        take(s, m_level[0][from / kBlock[0]]);
    while (from < to)
        take(s, (first + from++)->value);
    return s;
}
