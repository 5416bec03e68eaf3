#pragma once

#include <QString>

#include <functional>

class Chart;
class StringGridModel;

// Fills a list-graph chart from a list window's table: per data row i (1 .. L), point i - 1
// of subset 0 gets the row's date-time as x and its value as y ("OL" as 6553.5, "-OL" as
// -6553.5, and marked as an overload, which the statistics leave out); subset 1 gets the same value ("OL" as 4000, "-OL" as -4000) at the last x that
// converted. A row whose date and time do not convert gets no subset-0 point; a value that is
// not a number gives neither subset a y; both are counted. Dates, times and numbers are read
// whatever locale wrote them (AnyLocaleText). The numbers of subset 1 widen the Y scale, which
// starts at 105 / -18; OL texts do not.
class ListGraph {
public:
    struct Bounds {
        float bottom = -18.0f;
        float top = 105.0f;
        // Rows left out of the graph: a value that is no number (not OL, not empty), a number
        // no chart point can stand for (inf, NaN, beyond a float's range), a date and time
        // that no locale's reading takes. The first of each, for the user.
        struct LeftOut {
            int count = 0;
            int firstRow = 0;
            QString firstText;
            void add(int row, const QString& text) {
                if (count++ == 0) {
                    firstRow = row;
                    firstText = text;
                }
            }
        };
        LeftOut unreadableValues;
        LeftOut outOfRangeValues;
        LeftOut unreadableTimes;
    };

    // `step` is told of every row (1 .. L) before it is drawn and may stop the fill by
    // returning false. The chart must have been set up for L points.
    static Bounds fill(const StringGridModel& table, Chart* chart,
                       const std::function<bool(int)>& step);
    // The scale the chart gets: both bounds moved out by a tenth and 20.
    static Bounds withMargins(Bounds b);
};
