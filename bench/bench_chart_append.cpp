// Cost of one recorder sample on the chart alone: write the point as the recorder does, the
// redraw (rebuild, then the queued replot), at 10^3 .. 10^6 points.
// Two signals: a fast wave (from about 10^5 points on, every pixel column of the plot is a
// full-height stroke, the most a redraw can paint) and a steady reading. Prints one line per
// figure, and the process's resident memory at 10^3 and 10^6 points of the wave.

#include "daycount.h"
#include "chart.h"
#include "timechartsetup.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kInterval = SecondsToDays(2); // a sample every 2 seconds
constexpr int kSpanPoints = 100;
constexpr int kMeasured = 300; // samples timed at each size

enum class Signal { Wave, Steady };

class Recorder {
public:
    Recorder(Chart& chart, Signal signal) : g(chart), shape(signal) {
        setupTimeChart(&g, kSpanPoints, kStart, kStart + kSpanPoints * kInterval);
    }

    // One sample: the chart steps of the recorder's TakeSample; `redraw` adds the redraw.
    void sample(bool redraw) {
        const double t = kStart + n * kInterval;
        const float v = shape == Signal::Wave ? float(2000 + 1500 * std::sin(n * 0.01)) : 2000.0f;
        ++n;
        if (g.points() < n)
            g.setPoints(g.points() + 100);
        g.setXData(0, n - 1, t);
        g.setYData(0, n - 1, v);
        if (g.manualMaxX() <= t && !g.zoomMode()) {
            g.setManualMaxX(g.manualMaxX() + kSpanPoints * kInterval);
            g.setManualMinX(g.xData(0, 0));
        }
        if (!redraw)
            return;
        g.redraw();
    }

    int count() const { return n; }

private:
    static constexpr double kStart = 46357.0;
    Chart& g;
    Signal shape;
    int n = 0;
};

double residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(std::ceil(q * double(v.size()))) - 1);
    return v[i];
}

// Runs one chart up to 10^6 points; false if a redraw did not happen.
bool run(Signal signal, const char* name) {
    Chart chart;
    chart.resize(800, 312); // the recorder's chart: two thirds of a 500-pixel window
    chart.show();
    QApplication::processEvents();
    Recorder recorder(chart, signal);
    int replots = 0;
    QObject::connect(chart.plot(), &QCustomPlot::afterReplot, [&] { ++replots; });

    for (const int size : {1000, 10000, 100000, 1000000}) {
        // Get there quickly: samples with a rebuild only now and then.
        while (recorder.count() < size - kMeasured) {
            recorder.sample(false);
            if (recorder.count() % 1000 == 0)
                chart.redraw();
        }
        std::vector<double> us;
        QElapsedTimer timer;
        const int before = replots;
        for (int i = 0; i < kMeasured; ++i) {
            timer.start();
            recorder.sample(true);
            QApplication::processEvents();
            us.push_back(double(timer.nsecsElapsed()) / 1000.0);
        }
        if (replots - before != kMeasured) {
            std::fprintf(stderr, "bench_chart_append: %d replots for %d samples\n",
                         replots - before, kMeasured);
            return false;
        }
        std::printf("chart sample+redraw, %s, at %7d points: median %7.1f us, p99 %7.1f us\n", name,
                    recorder.count(), percentile(us, 0.5), percentile(us, 0.99));
        if (signal == Signal::Wave && (size == 1000 || size == 1000000))
            std::printf("chart process RSS at %7d points: %.1f MB\n", recorder.count(),
                        residentMb());
        std::fflush(stdout);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return run(Signal::Wave, "wave") && run(Signal::Steady, "steady") ? 0 : 1;
}
