// The recorder's cost per sample as a recording grows: one sample is an update from the link and
// a sample taken by the recorder and shown by its window (a table row,
// a chart point, the redraw) plus processing the events it leaves behind (the chart's queued
// replot, the table's repaint), timed over windows of samples around 10^3, 10^4, 10^5 and
// 10^6 samples, with the window shown offscreen at its default size. First, the process's
// resident memory with a million samples held.
//
// Each sample is timed twice: the CPU time of this thread (what the sample costs; the machine
// may be shared, and time spent running other processes is not the recorder's) and the wall
// time.
#include "daycount.h"
#include "framedecoder.h"
#include "livelink.h"
#include "recorder.h"
#include "chart.h"
#include "stringgrid.h"
#include "recorderwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWindow = 1000;
constexpr int kRounds = 5;

void processAll() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

qint64 residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

qint64 threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto i =
        std::size_t(std::clamp(std::ceil(p * double(v.size())) - 1, 0.0, double(v.size() - 1)));
    return v[i];
}

// A reading that changes from sample to sample, as a live meter's would.
void nextReading(Reading& r, int n) {
    const double v = 200.0 + 150.0 * std::sin(n / 500.0) + (n % 7) * 0.1;
    r.value = float(v);
    r.valueText = FrameDecoder::fixedText(v, 1);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LiveLink link;
    Recorder recorder(link);
    recorder.setRecordInterval(1);
    // The readings reach the recorder as the link hands them over, one update per frame.
    LiveUpdate update;
    Reading& reading = update.reading;
    reading.unitText = QStringLiteral("mV");
    reading.divisor = 10;

    RecorderWindow rtc(recorder, link);
    rtc.show();
    processAll();
    rtc.setupChart();
    update.functionChanged = update.rangeChanged = update.scaleChanged = true;
    Q_EMIT link.updated(update);
    update.functionChanged = update.rangeChanged = update.scaleChanged = false;
    processAll();
    const double start = link.clock().now();
    // Sample times keep counting across a Clear, as they do for a user who clears and records
    // on.
    int seconds = 0;
    const auto when = [start, &seconds] { return start + SecondsToDays(++seconds); };

    const std::initializer_list<int> sizes = {1000, 10000, 100000, 1000000};
    int n = 0;
    // Fill up to `target` samples without waiting for each redraw (the replot and the repaint
    // are queued and coalesced); let the events run now and then as the program would.
    const auto fillTo = [&](int target) {
        while (n < target) {
            nextReading(reading, n);
            Q_EMIT link.updated(update);
            ++n;
            recorder.takeSample(when());
            if (n % 1000 == 0)
                processAll();
        }
        processAll();
    };
    // The memory a recording of a million samples holds, taken first, on a fresh process: the
    // rounds below empty the recorder again and again, and what the allocator keeps of those
    // is not the recording's.
    fillTo(1000000);
    std::printf("recorder resident memory at %d samples: %.1f MB\n", n,
                double(residentKb()) / 1024.0);
    std::printf("recorder table texts at %d samples: %.1f bytes per row\n", n,
                double(rtc.recordTable->gridModel()->memoryBytes()) / n);
    std::fflush(stdout);
    const bool complete = rtc.sampleCount() == n;
    rtc.clearRecording(); // the window's Clear button: table, chart and samples
    n = 0;

    for (const int size : sizes) {
        // p99 of a thousand timings is the tenth slowest, which one hiccup of the machine
        // moves: take kRounds windows at each size. For the small sizes every round starts
        // again from an empty recorder, so that each window lies around `size`; from 10^5 on
        // the rounds follow each other (5 % more samples by the last one), which also keeps
        // the freed rows of refills out of the memory figure.
        std::vector<double> cpu, wall;
        cpu.reserve(kWindow * kRounds);
        wall.reserve(kWindow * kRounds);
        for (int round = 0; round < kRounds; ++round) {
            if (size < 100000 || round == 0) {
                if (n > size - kWindow / 2) {
                    rtc.clearRecording();
                    n = 0;
                }
                fillTo(size - kWindow / 2);
            }
            QElapsedTimer clock;
            for (int i = 0; i < kWindow; ++i) {
                nextReading(reading, n);
                clock.start();
                const qint64 cpuStart = threadCpuNs();
                Q_EMIT link.updated(update);
                ++n;
                recorder.takeSample(when());
                processAll();
                cpu.push_back(double(threadCpuNs() - cpuStart) / 1000.0);
                wall.push_back(double(clock.nsecsElapsed()) / 1000.0);
            }
        }
        const auto print = [size](const char* what, const std::vector<double>& us) {
            std::printf("recorder sample at %d samples: median %.1f us %s\n", size,
                        percentile(us, 0.5), what);
            std::printf("recorder sample at %d samples: p99 %.1f us %s (of %zu samples)\n",
                        size, percentile(us, 0.99), what, us.size());
        };
        print("CPU", cpu);
        print("wall", wall);
        std::fflush(stdout);
    }
    return complete && rtc.sampleCount() == n ? 0 : 1;
}
