#include "decimatedgraph.h"

#include "minmaxblocks.h"

#include <algorithm>
#include <cmath>
#include <limits>

DecimatedGraph::DecimatedGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, const MinMaxBlocks* blocks)
    : QCPGraph(keyAxis, valueAxis), m_blocks(blocks) {
    setAdaptiveSampling(true);
}

void DecimatedGraph::getOptimizedLineData(QVector<QCPGraphData>* lineData,
                                          const QCPGraphDataContainer::const_iterator& begin,
                                          const QCPGraphDataContainer::const_iterator& end) const {
    const QCPAxis* keyAxis = mKeyAxis.data();
    const QCPGraphDataContainer& data = *mDataContainer;
    const bool usable = lineData && keyAxis && mAdaptiveSampling && m_blocks &&
                        m_blocks->summarised() == data.size() &&
                        keyAxis->scaleType() == QCPAxis::stLinear && !keyAxis->rangeReversed() &&
                        keyAxis->orientation() == Qt::Horizontal && begin != end;
    if (!usable) {
        QCPGraph::getOptimizedLineData(lineData, begin, end);
        return;
    }
    const double pixelSpan =
        std::abs(keyAxis->coordToPixel(begin->key) - keyAxis->coordToPixel((end - 1)->key));
    if (double(end - begin) < 2 * pixelSpan + 2) {
        QCPGraph::getOptimizedLineData(lineData, begin, end); // one to one
        return;
    }

    using Iterator = QCPGraphDataContainer::const_iterator;
    const auto byKey = [](const QCPGraphData& d, double key) { return d.key < key; };
    // The first entry in [low, high) whose key is at least `key`, searched outwards from
    // `hint`: a guess near the answer costs a few probes, where a search over the range would
    // touch entries far apart in a container too big for the cache.
    const auto findFrom = [&byKey](Iterator low, Iterator high, Iterator hint, double key) {
        qsizetype step = 1;
        if (hint < high && hint->key < key) {
            low = hint + 1;
            while (high - low > step && (low + step - 1)->key < key) {
                low += step;
                step *= 2;
            }
            high = low + std::min(step, high - low);
        } else {
            high = hint;
            while (high - low > step && (high - step)->key >= key) {
                high -= step;
                step *= 2;
            }
            low = high - std::min(step, high - low);
        }
        return std::lower_bound(low, high, key, byKey);
    };
    const auto origin = data.constBegin();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // A recording's keys are close to evenly spaced: the end of each column is guessed from
    // the density of the whole range.
    const double firstKey = begin->key;
    const double keySpan = (end - 1)->key - firstKey;
    const double perKey = keySpan > 0 ? double(end - begin - 1) / keySpan : 0.0;
    lineData->reserve(int(pixelSpan) * 5 + 8);
    for (auto it = begin; it != end;) {
        const double column = std::floor(keyAxis->coordToPixel(it->key));
        const double columnEnd = keyAxis->pixelToCoord(column + 1);
        const double at = (columnEnd - firstKey) * perKey;
        const double guess = std::isfinite(at) ? std::clamp(at, 0.0, double(end - begin)) : 0.0;
        const Iterator low = it + 1;
        const Iterator hint = std::clamp(begin + qsizetype(guess), low, end);
        const auto stop = findFrom(low, end, hint, columnEnd);
        const auto lastIt = stop - 1;
        if (stop - it == 1) {
            lineData->append(*it);
        } else {
            const MinMaxBlocks::Span s = m_blocks->span(data, int(it - origin), int(stop - origin));
            const double width = lastIt->key - it->key;
            lineData->append(*it);
            // An extreme already shown by the first or last point needs no point of its own.
            const auto shown = [&](double v) { return v == it->value || v == lastIt->value; };
            if (s.hasValue && !shown(s.low))
                lineData->append(QCPGraphData(it->key + width / 3, s.low));
            if (s.hasValue && !shown(s.high))
                lineData->append(QCPGraphData(it->key + width * 2 / 3, s.high));
            if (s.hasGap)
                lineData->append(QCPGraphData(it->key + width * 5 / 6, nan));
            lineData->append(*lastIt);
        }
        it = stop;
    }
}
