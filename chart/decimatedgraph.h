#pragma once

#include <qcustomplot.h>

class MinMaxBlocks;

// A QCPGraph whose adaptive sampling reads the value span of each pixel column from block
// summaries instead of visiting every point: drawing a graph of n points costs
// O(columns x (log n + 60)), so a redraw per sample stays flat as a recording grows.
//
// Each column with several points is drawn as its first point, its smallest and largest
// value and its last point; a column holding a gap (NaN) also ends its line there. With fewer
// than two points per pixel, or on an axis it was not made for (logarithmic, reversed,
// vertical keys), it draws as QCPGraph does.
class DecimatedGraph : public QCPGraph {
    Q_OBJECT
public:
    // `blocks` summarises the data container this graph draws and outlives the graph's
    // drawing; while it lags behind the container the graph draws as QCPGraph does.
    DecimatedGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, const MinMaxBlocks* blocks);

protected:
    void getOptimizedLineData(QVector<QCPGraphData>* lineData,
                              const QCPGraphDataContainer::const_iterator& begin,
                              const QCPGraphDataContainer::const_iterator& end) const override;

private:
    const MinMaxBlocks* m_blocks;
};
