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

    const auto byKey = [](const QCPGraphData& d, double key) { return d.key < key; };
    const auto origin = data.constBegin();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    lineData->reserve(int(pixelSpan) * 5 + 8);
    for (auto it = begin; it != end;) {
        const double column = std::floor(keyAxis->coordToPixel(it->key));
        const double columnEnd = keyAxis->pixelToCoord(column + 1);
        // Gallop forward from here, then search the last stride: a column's points lie next
        // to each other in memory, which a search over the whole range would not use.
        auto low = it + 1;
        qsizetype stride = 1;
        while (end - low > stride && (low + stride)->key < columnEnd) {
            low += stride;
            stride *= 2;
        }
        const auto stop =
            std::lower_bound(low, low + std::min(stride + 1, end - low), columnEnd, byKey);
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
