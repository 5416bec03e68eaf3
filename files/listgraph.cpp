#include "listgraph.h"

#include "anylocaletext.h"
#include "chart.h"
#include "listdatetimereader.h"
#include "stringgridmodel.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {
// The texts C and other programs write for infinities and NaNs: numbers, though none a chart
// point can stand for.
bool nonFinite(const QString& value) {
    QString t = value.trimmed().toLower();
    if (t.startsWith(u'+') || t.startsWith(u'-'))
        t.remove(0, 1);
    return t == QLatin1String("inf") || t == QLatin1String("infinity") ||
           t == QLatin1String("nan");
}
} // namespace

ListGraph::Bounds ListGraph::fill(const StringGridModel& table, Chart* chart,
                                  const std::function<bool(int)>& step) {
    ListDateTimeReader reader;
    reader.learnDates(table);
    Bounds b;
    const int last = table.gridRowCount() - 1;
    double x = 0;
    bool anyX = false;
    for (int i = 1; i <= last; ++i) {
        if (step && !step(i))
            break;
        const QString value = table.cells(3, i);
        const auto when = reader.read(table.cells(1, i), table.cells(2, i));
        std::optional<float> y0, y1;
        bool number = false;
        bool overload = false;
        if (value == QLatin1String("OL")) {
            y0 = 6553.5f;
            y1 = 4000.0f;
            overload = true;
        } else if (value == QLatin1String("-OL")) {
            y0 = -6553.5f;
            y1 = -4000.0f;
            overload = true;
        } else if (const auto v = AnyLocaleText::number(value);
                   v && std::abs(*v) <= std::numeric_limits<float>::max()) {
            y0 = y1 = float(*v);
            number = true;
        } else if (v || nonFinite(value)) {
            b.outOfRangeValues.add(i, value);
        } else if (!value.trimmed().isEmpty()) {
            b.unreadableValues.add(i, value);
        }
        // A row with a value but no time is a point the chart cannot place: said, not dropped.
        if (!when && !(table.cells(1, i).isEmpty() && table.cells(2, i).isEmpty() &&
                       value.trimmed().isEmpty()))
            b.unreadableTimes.add(i, table.cells(1, i) + u' ' + table.cells(2, i));
        if (when) {
            x = *when;
            anyX = true;
            chart->setXData(0, i - 1, x);
            if (y0)
                chart->setYData(0, i - 1, *y0);
            chart->markOverload(0, i - 1, overload);
        }
        if (anyX || when)
            chart->setXData(1, i - 1, x);
        if (y1) {
            chart->setYData(1, i - 1, *y1);
            if (number) {
                if (*y1 > b.top)
                    b.top = *y1;
                if (*y1 < b.bottom)
                    b.bottom = *y1;
            }
        }
    }
    return b;
}

ListGraph::Bounds ListGraph::withMargins(Bounds b) {
    Bounds r = b;
    r.bottom = b.bottom * 1.1f - 20.0f;
    r.top = b.top * 1.1f + 20.0f;
    return r;
}
