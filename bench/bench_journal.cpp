// What the recorder's journal costs: a recording of a million samples at the fastest rate (one
// sample a second of the meter's clock), recorder and window as in bench_recorder, three times
// in one run: journal off, on, off. Prints the CPU time of this thread per sample (writing
// the file included: the flushes run on this thread).
//
// On a shared machine two recordings of the same work differ by more than the journal costs,
// and timing each journal call costs more than the call. So the decisive figure is the
// journal alone: a million samples appended to it (and written) in one loop, less the same
// loop without it, against the recorder's cost per sample without the journal. The journal
// may cost at most 5 % more than the recorder without it. Then checks that the journal holds
// every sample of the recording: its files' rows add up to the million.
#include "daycount.h"
#include "framedecoder.h"
#include "livelink.h"
#include "portablecsv.h"
#include "recorder.h"
#include "recorderwindow.h"
#include "recordingjournal.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <time.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kSamples = 1000000;
constexpr double kAllowedShare = 0.05;

qint64 threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    LiveLink link;
    Recorder recorder(link);
    recorder.setRecordInterval(1);
    RecordingJournal journal;
    journal.follow(recorder);
    JournalSettings settings;
    settings.folder = dir.filePath(QStringLiteral("recordings"));
    settings.maxTotalBytes = qint64(1) << 40; // keep every file for the row count

    LiveUpdate update;
    Reading& reading = update.reading;
    reading.unitText = QStringLiteral("mV");
    reading.functionName = QStringLiteral("Voltage");
    reading.divisor = 10;
    RecorderWindow rtc(recorder, link);
    rtc.show();
    QCoreApplication::processEvents();
    rtc.setupChart();
    update.functionChanged = update.rangeChanged = update.scaleChanged = true;
    Q_EMIT link.updated(update);
    update.functionChanged = update.rangeChanged = update.scaleChanged = false;

    const double start = link.clock().now();
    // One recording of kSamples; the CPU time per sample in microseconds.
    const auto record = [&](bool journalOn) {
        settings.enabled = journalOn;
        journal.setSettings(settings);
        rtc.clearRecording();
        QCoreApplication::processEvents();
        const qint64 cpuStart = threadCpuNs();
        for (int n = 1; n <= kSamples; ++n) {
            const double v = 200.0 + 150.0 * std::sin(n / 500.0) + (n % 7) * 0.1;
            reading.value = float(v);
            reading.valueText = FrameDecoder::fixedText(v, 1);
            Q_EMIT link.updated(update);
            recorder.takeSample(start + SecondsToDays(n));
            if (n % 1000 == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        journal.startNewFile(); // the last file written out and closed
        return double(threadCpuNs() - cpuStart) / 1000.0 / kSamples;
    };
    const double off1 = record(false);
    const double on = record(true);
    const double off2 = record(false);
    const double off = (off1 + off2) / 2;
    const auto files = RecordingJournal::listFiles(settings.folder);

    // The journal alone, in another folder.
    RecordingJournal alone;
    settings.folder = dir.filePath(QStringLiteral("alone"));
    settings.enabled = true;
    alone.setSettings(settings);
    const auto loop = [&](bool append) {
        RecorderSample sample;
        sample.unitText = reading.unitText;
        sample.function = reading.functionName;
        const qint64 cpuStart = threadCpuNs();
        for (int n = 1; n <= kSamples; ++n) {
            const double v = 200.0 + 150.0 * std::sin(n / 500.0) + (n % 7) * 0.1;
            sample.number = n;
            sample.when = start + SecondsToDays(n);
            sample.value = float(v);
            sample.valueText = FrameDecoder::fixedText(v, 1);
            if (append) {
                alone.append(sample);
                if (n % 1000 == 0)
                    alone.flush();
            }
        }
        if (append)
            alone.startNewFile();
        return double(threadCpuNs() - cpuStart) / 1000.0 / kSamples;
    };
    const double journalUs = loop(true) - loop(false);
    const double share = journalUs / off;
    std::printf("journal off: %.2f us CPU per sample (%.2f and %.2f)\n", off, off1, off2);
    std::printf("journal on: %.2f us CPU per sample at %d samples (%+.1f %% against off)\n", on,
                kSamples, (on / off - 1) * 100);
    std::printf("journal share: %.2f us CPU per sample in the journal alone, %+.1f %% (allowed "
                "%.0f %%)\n",
                journalUs, share * 100, kAllowedShare * 100);

    qint64 rows = 0;
    for (const auto& file : files)
        rows += file.summary.rows;
    std::printf("journal rows: %lld in %lld files (%d samples taken)\n", rows,
                qint64(files.size()), kSamples);
    return share <= kAllowedShare && rows == kSamples ? 0 : 1;
}
