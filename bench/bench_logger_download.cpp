// Load Data of a full logger memory (1,024 blocks) from metersim through a pseudo-terminal at
// the meter's real pace (9600 baud, 1.04 ms a byte), with the program's own busy, progress and
// data-logger windows (offscreen). Prints the transfer time against the line's own time (every
// block's 65 bytes and the 6-byte answer at 10 bits a byte, plus the 3 s of silence that end a
// dump), the program's CPU time as a share of the transfer's wall time, and the time to parse
// the image and show its largest set (32,000 records) in the window.
#include "livelink.h"
#include "livelinkadapter.h"
#include "loadloggerdata.h"
#include "logger/loggerimagebuilder.h"
#include "loggerdownloadwindows.h"
#include "loggerparse.h"
#include "metercommand.h"
#include "stringgrid.h"
#include "dataloggerwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <time.h>

#include <cstdio>

namespace {

constexpr int kBlocks = 1024;
constexpr int kLargestSet = 32000;

qint64 processCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The program's progress windows, with the first and last look the transfer took at them:
// the transfer loop asks cancelled() on every pass from its start to its end.
class TimedProgress : public LoggerProgress {
public:
    explicit TimedProgress(LoggerProgress& windows) : m_windows(windows) { m_clock.start(); }
    void totalKnown(int expectedTotal, int usedBytes) override {
        m_windows.totalKnown(expectedTotal, usedBytes);
    }
    void bytesReceived(int received) override { m_windows.bytesReceived(received); }
    bool cancelled() override {
        if (firstNs < 0) {
            firstNs = m_clock.nsecsElapsed();
            firstCpuNs = processCpuNs();
        }
        lastNs = m_clock.nsecsElapsed();
        lastCpuNs = processCpuNs();
        return m_windows.cancelled();
    }
    qint64 firstNs = -1, lastNs = -1, firstCpuNs = 0, lastCpuNs = 0;

private:
    LoggerProgress& m_windows;
    QElapsedTimer m_clock;
};

// One set of 32,000 DC-volt records and a small one that fills the memory to its last byte.
QByteArray fullImage() {
    LoggerImageBuilder b;
    QList<quint16> big;
    for (int i = 0; i < kLargestSet; ++i)
        big << quint16(0x1000 | (i % 3999));
    b.addSet(10000, 0xB0, 0x08, big);
    const int left = 65536 - 256 - (12 + 2 * kLargestSet);
    b.addSet(20000, 0x30, 0x00, QList<quint16>((left - 12) / 2, 0x1234));
    return b.blocks();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray image = fullImage();
    if (image.size() != kBlocks * 64) {
        std::fprintf(stderr, "bench_logger_download: image of %d bytes\n", int(image.size()));
        return 1;
    }
    QFile file(dir.filePath("full.bin"));
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return 1;
    file.close();

    // --show-only: only the parse and show, of the image as built (for profiling them).
    const bool showOnly = app.arguments().contains(QStringLiteral("--show-only"));
    DataLoggerWindow window;
    window.show();
    LoggerDownload d;
    d.image = LoggerImage(image);
    if (!showOnly) {
        QProcess sim;
        sim.start(QCoreApplication::applicationDirPath() + "/../bin/metersim",
                  {"--image", file.fileName(),
                   qEnvironmentVariableIsSet("BENCH_INSTANT") ? "--instant" : "--paced",
                   "--interval", "250"});
        if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
            std::fprintf(stderr, "bench_logger_download: cannot start metersim\n");
            return 1;
        }
        const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();

        LiveLink link;
        link.setDeviceName(path);
        link.openPort();
        link.writeToMeter(CmdA.bytes());
        // The main timer's pace: every tick of a link that is down calls the meter with K, and a
        // paced meter answers each one.
        link.startTicking();
        QElapsedTimer wait;
        wait.start();
        while (!link.connected() && wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!link.connected()) {
            std::fprintf(stderr, "bench_logger_download: no live link on %s\n", qPrintable(path));
            return 1;
        }

        MeterPort comm2;
        comm2.onError = [](MeterPort*, const PortError&, PortErrorAction& a) { a = caAbort; };
        LiveLinkAdapter live(link);
        struct Cancel : LoadLoggerDataUser {
            LoggerErrorChoice downloadFailed(const LoggerDownload&) override {
                return LoggerErrorChoice::Cancel;
            }
            void headerRepaired(bool) override {}
        } user;
        {
            LoggerDownloadWindows windows(&window);
            TimedProgress progress(windows);
            d = loadLoggerData(live, comm2, &progress, user, link.clock().now());
            const double transfer = (progress.lastNs - progress.firstNs) / 1e9;
            const double line = kBlocks * (65 + 6) * 10 / 9600.0 + 3.0;
            const double cpu = (progress.lastCpuNs - progress.firstCpuNs) / 1e9;
            std::printf("logger download: %d bytes, result %d, %d errors\n", int(d.image.size()),
                        int(d.result), d.errors);
            std::printf("logger download: transfer %.2f s, line's own time %.2f s, ratio %.3f "
                        "(target <= 1.03)\n",
                        transfer, line, transfer / line);
            std::printf("logger download: CPU %.2f s of %.2f s wall, %.1f %% (target <= 10 %%)\n",
                        cpu, transfer, 100 * cpu / transfer);
        }
        sim.terminate();
        sim.waitForFinished(3000);
        if (d.result != LoggerOutcome::Loaded)
            return 1;
    }

    // Parse and show, as Load Data does after a good download; best of three.
    double best = 1e9;
    for (int i = 0; i < (showOnly ? 20 : 3); ++i) {
        QElapsedTimer t;
        t.start();
        const LoggerParse parse = parseLoggerImage(d.image, 45000.0);
        window.showLoggerData(d.image, parse.sets);
        QCoreApplication::processEvents();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    std::printf("logger parse and show: %d records in %.1f ms (target <= 100 ms)\n",
                window.recordTable->gridRowCount() - 1, best);
    return 0;
}
