// Range statistics of a chart at 10^4 .. 10^6 points: the whole visible range, and between two
// cursors over half of it, the way the measure panel asks for them. The bound is 50 ms at 10^6
// points; the process exits non-zero when the median exceeds it.

#include "chart.h"
#include "daycount.h"
#include "timechartsetup.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kBoundMs = 50;
constexpr int kRuns = 15;

double medianMs(Chart& chart) {
    std::vector<double> times;
    volatile double sink = 0;
    for (int r = 0; r < kRuns; ++r) {
        QElapsedTimer timer;
        timer.start();
        const RangeStatistics s = chart.rangeStatistics();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        sink = sink + s.mean + double(s.count);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int status = 0;
    const double start = dateTimeToDays(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    for (int n : {10000, 100000, 1000000}) {
        Chart chart;
        chart.resize(900, 500);
        setupTimeChart(&chart, n, start, start + SecondsToDays(n), QString());
        for (int i = 0; i < n; ++i) {
            chart.setXData(0, i, start + SecondsToDays(i));
            chart.setYData(0, i, float(2000 + 1500 * std::sin(i * 0.01)));
            if (i % 997 == 0)
                chart.markOverload(0, i);
        }
        chart.redraw();
        chart.fitToData();
        const double visible = medianMs(chart);
        chart.setCursorsShown(true);
        chart.placeCursor(0, DaysToEpochSeconds(start) + n / 4.0);
        chart.placeCursor(1, DaysToEpochSeconds(start) + 3 * n / 4.0);
        const double between = medianMs(chart);
        std::printf("chart range statistics at %7d points: visible range median %6.2f ms, "
                    "between cursors median %6.2f ms\n",
                    n, visible, between);
        if (n == 1000000 && std::max(visible, between) > kBoundMs) {
            std::fprintf(stderr, "bench_chart_statistics: over the %.0f ms bound\n", kBoundMs);
            status = 1;
        }
    }
    return status;
}
