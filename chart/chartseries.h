#pragma once

#include "minmaxblocks.h"
#include "rangestatistics.h"

#include <qcustomplot.h>

#include <QSharedPointer>

#include <cstdint>
#include <limits>
#include <vector>

// The points of one subset of a chart.
//
// Two stores, and no third: the values as the program wrote them, by point index
// (x as double, y as single float, 12 bytes a point), and the QCPGraph data container that
// is drawn (16 bytes a drawn point, sorted by key). Writes only touch the first store;
// update() carries them into the drawn container. When only points after the last drawn one
// were written (a recorder appending a sample), update() appends them, which costs O(1) per
// point amortized; when an earlier point changed or the drawing rule changed it rebuilds the
// container from the written values.
class ChartSeries {
public:
    // How written points become drawn ones.
    struct Rule {
        double nullValue = std::numeric_limits<double>::infinity(); // y drawn as no data
        bool useX = false;     // x from the written x values, else the point number (index + 1)
        bool dateTime = false; // x counts days since 30 Dec 1899; drawn as seconds since 1970
        bool operator==(const Rule&) const = default;
    };

    ChartSeries();

    // The container the subset's graph draws; shared with the graph, changed only by update().
    QSharedPointer<QCPGraphDataContainer> data() const { return m_data; }
    // Value spans of the drawn container, kept in step by update().
    const MinMaxBlocks* blocks() const { return &m_blocks; }

    // Written values. Points never written, or beyond size(), read as 0.
    float y(int point) const;
    double x(int point) const;
    bool hasY(int point) const;
    void setY(int point, float value);
    void setX(int point, double value);
    // Marks a point carries besides its values: an overload (drawn as written, left out of
    // the statistics) and a gap before it (the meter was away: the line is not joined from
    // the previous point, and no area is summed across). Unmarked series cost no memory.
    enum Mark : std::uint8_t { Overload = 1, GapBefore = 2 };
    void setMark(int point, Mark mark, bool on);
    bool hasMark(int point, Mark mark) const;

    // One more than the highest point written.
    int size() const { return int(m_y.size()); }

    // Forgets every written point and releases the memory.
    void clear();
    // Forgets the points from `count` on.
    void truncate(int count);

    // Makes the drawn container show points 0 .. points - 1 under `rule`.
    void update(const Rule& rule, int points);
    // Points carried into the drawn container by the last update().
    // Whether the last update() had to rebuild the container instead of appending.
    bool lastUpdateRebuilt() const { return m_lastRebuilt; }

    // The key a written x (or point number) gets on the drawing's x axis, and back.
    static double keyFor(const Rule& rule, int point, double x);
    static double xForKey(const Rule& rule, double key);

    // Range of the drawn keys and of the drawn values (gaps excluded); false when nothing is
    // drawn.
    bool keyRange(double& lower, double& upper) const;
    bool valueRange(double& lower, double& upper) const;

    // Statistics of the drawn points (as of the last update(), in point order) whose key lies
    // in [fromKey, toKey]; times are keys (seconds on a date-time axis).
    RangeStatistics statistics(const Rule& rule, double fromKey, double toKey) const;

    // The drawn point (index) nearest to a pixel position, within `tolerance` pixels; -1 if none.
    int pointNear(const Rule& rule, const QCPAxis* keyAxis, const QCPAxis* valueAxis, QPointF pos,
                  double tolerance, double* distance) const;

private:
    bool drawnPoint(const Rule& rule, int point, float nullValue, QCPGraphData& out) const;
    void widenRanges(const QCPGraphData& d);

    std::vector<double> m_x;
    std::vector<float> m_y; // unwritten points hold a NaN with a payload of its own (kUnset)
    std::vector<std::uint8_t> m_marks; // empty until a point is marked; may be shorter than m_y
    QSharedPointer<QCPGraphDataContainer> m_data;
    MinMaxBlocks m_blocks;
    Rule m_rule;
    int m_built = 0;                                   // points 0 .. m_built - 1 are in m_data
    int m_dirtyFrom = std::numeric_limits<int>::max(); // lowest point written since update()
    bool m_lastRebuilt = false;
    double m_keyLow = 0, m_keyHigh = 0, m_valueLow = 0, m_valueHigh = 0;
    bool m_hasKeys = false, m_hasValues = false;
};
