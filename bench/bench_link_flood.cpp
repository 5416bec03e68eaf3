// Live frames absorbed per second: metersim floods a pseudo-terminal (each frame is sent as
// soon as the previous one is acknowledged) and the live link receives, checks, acknowledges
// and decodes them. Also the time DecodeFrame takes per frame, in-process.
#include "framedecoder.h"
#include "livelink.h"
#include "metercommand.h"
#include "nullviews.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString metersimPath() {
    return QCoreApplication::applicationDirPath() + "/../bin/metersim";
}

int floodOverPty(double seconds) {
    QProcess sim;
    sim.start(metersimPath(), {"--tour", "--flood", "--instant"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_link_flood: cannot start %s\n", qPrintable(metersimPath()));
        return 1;
    }
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();

    NullViews views;
    LiveLink link(views);
    link.livePort.setDeviceName(path);
    OpenQuietly(link.livePort);
    if (!link.livePort.Active()) {
        std::fprintf(stderr, "bench_link_flood: cannot open %s\n", qPrintable(path));
        return 1;
    }
    link.livePort.Write(CmdA.bytes());

    // Warm up, then measure.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 startDecoded = link.FramesDecoded;
    const qint64 startAcked = link.FramesAcknowledged;
    clock.restart();
    while (clock.elapsed() < qint64(seconds * 1000))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double elapsed = clock.nsecsElapsed() / 1e9;
    const qint64 decoded = link.FramesDecoded - startDecoded;
    const qint64 acked = link.FramesAcknowledged - startAcked;

    sim.terminate();
    sim.waitForFinished(3000);
    const QString simReport = QString::fromLocal8Bit(sim.readAllStandardError()).trimmed();

    std::printf("link flood over pty: %.0f acknowledged frames/s (%lld in %.1f s)\n",
                acked / elapsed, static_cast<long long>(acked), elapsed);
    std::printf("link flood over pty: %.0f decoded frames/s, %lld rejected frames, %s\n",
                decoded / elapsed, static_cast<long long>(link.FramesRejected),
                link.state.Connected() ? "link up" : "LINK DOWN");
    // The meter's own count: every frame it sent must have been acknowledged by the link
    // (the last one may still be on its way when the meter is stopped).
    const QRegularExpression sentRe(QStringLiteral("sent (\\d+) frames"));
    const auto match = sentRe.match(simReport);
    const qint64 sent = match.hasMatch() ? match.captured(1).toLongLong() : -1;
    const qint64 lost = sent - link.FramesAcknowledged;
    std::printf("link flood over pty: meter sent %lld frames, link acknowledged %lld, "
                "unacknowledged at stop %lld (at most the one in flight)\n",
                static_cast<long long>(sent), static_cast<long long>(link.FramesAcknowledged),
                static_cast<long long>(lost));
    return link.FramesRejected == 0 && sent >= 0 && lost <= 1 ? 0 : 1;
}

void decodeCost() {
    // A mix of functions and ranges, changing now and then like a real session.
    const QList<QByteArray> frames = {"11234;00:", "11235;00:", "00500;40:", "207503002",
                                      "300254800", "010006002", "10000;102", "11111;082",
                                      "01234=002", "21234?002", "112349002", "312342002"};
    NullViews views;
    FrameDecoder decoder;
    decoder.Reset();
    std::vector<QByteArray> input;
    for (int i = 0; i < 1000; ++i)
        input.push_back(frames[(i / 7) % frames.size()] + "\r\n");

    std::vector<double> perFrameNs;
    for (int round = 0; round < 200; ++round) {
        QElapsedTimer t;
        t.start();
        for (const auto& f : input)
            decoder.DecodeFrame(f, 122, views);
        perFrameNs.push_back(double(t.nsecsElapsed()) / double(input.size()));
    }
    std::sort(perFrameNs.begin(), perFrameNs.end());
    std::printf("DecodeFrame: median %.0f ns per frame, p99 %.0f ns per frame\n",
                perFrameNs[perFrameNs.size() / 2], perFrameNs[perFrameNs.size() * 99 / 100]);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    decodeCost();
    return floodOverPty(3.0);
}
