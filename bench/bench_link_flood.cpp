// Live frames absorbed per second: metersim floods a pseudo-terminal (each frame is sent as
// soon as the previous one is acknowledged) and the live link receives, checks, acknowledges
// and decodes them. Also the time decoding takes per frame, in-process.
#include "framedecoder.h"
#include "livelink.h"
#include "metercommand.h"

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

    LiveLink link;
    // One subscriber that takes every update, as a view does.
    qint64 seen = 0;
    QObject::connect(&link, &LiveLink::updated, &link, [&seen](const LiveUpdate&) { ++seen; });
    link.setDeviceName(path);
    link.openPort();
    if (!link.portOpen()) {
        std::fprintf(stderr, "bench_link_flood: cannot open %s\n", qPrintable(path));
        return 1;
    }
    link.writeToMeter(CmdA.bytes());

    // Warm up, then measure.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 startDecoded = link.framesDecoded();
    const qint64 startAcked = link.framesAcknowledged();
    clock.restart();
    while (clock.elapsed() < qint64(seconds * 1000))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double elapsed = clock.nsecsElapsed() / 1e9;
    const qint64 decoded = link.framesDecoded() - startDecoded;
    const qint64 acked = link.framesAcknowledged() - startAcked;

    sim.terminate();
    sim.waitForFinished(3000);
    const QString simReport = QString::fromLocal8Bit(sim.readAllStandardError()).trimmed();

    std::printf("link flood over pty: %.0f acknowledged frames/s (%lld in %.1f s)\n",
                acked / elapsed, static_cast<long long>(acked), elapsed);
    std::printf("link flood over pty: %.0f decoded frames/s, %lld rejected frames, %s\n",
                decoded / elapsed, static_cast<long long>(link.framesRejected()),
                link.connected() ? "link up" : "LINK DOWN");
    // The meter's own count: every frame it sent must have been acknowledged by the link
    // (the last one may still be on its way when the meter is stopped).
    const QRegularExpression sentRe(QStringLiteral("sent (\\d+) frames"));
    const auto match = sentRe.match(simReport);
    const qint64 sent = match.hasMatch() ? match.captured(1).toLongLong() : -1;
    const qint64 lost = sent - link.framesAcknowledged();
    std::printf("link flood over pty: meter sent %lld frames, link acknowledged %lld, "
                "unacknowledged at stop %lld (at most the one in flight)\n",
                static_cast<long long>(sent), static_cast<long long>(link.framesAcknowledged()),
                static_cast<long long>(lost));
    return link.framesRejected() == 0 && sent >= 0 && lost <= 1 ? 0 : 1;
}

void decodeCost() {
    // A mix of functions and ranges, changing now and then like a real session.
    const QList<QByteArray> frames = {"11234;00:", "11235;00:", "00500;40:", "207503002",
                                      "300254800", "010006002", "10000;102", "11111;082",
                                      "01234=002", "21234?002", "112349002", "312342002"};
    FrameDecoder decoder;
    std::vector<QByteArray> input;
    for (int i = 0; i < 1000; ++i)
        input.push_back(frames[(i / 7) % frames.size()] + "\r\n");

    std::vector<double> perFrameNs;
    for (int round = 0; round < 200; ++round) {
        QElapsedTimer t;
        t.start();
        for (const auto& f : input)
            static_cast<void>(decoder.decode(f, 122));
        perFrameNs.push_back(double(t.nsecsElapsed()) / double(input.size()));
    }
    std::sort(perFrameNs.begin(), perFrameNs.end());
    std::printf("decode: median %.0f ns per frame, p99 %.0f ns per frame\n",
                perFrameNs[perFrameNs.size() / 2], perFrameNs[perFrameNs.size() * 99 / 100]);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    decodeCost();
    return floodOverPty(3.0);
}
