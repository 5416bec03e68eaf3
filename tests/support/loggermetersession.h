#pragma once

#include "clock.h"
#include "meterport.h"
#include "support/metersimprocess.h"
#include "livelinkcontrol.h"
#include "loggertiming.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// The live side as a logger operation borrows it, recording what it was asked to do.
struct RecordingLive : LiveLinkControl {
    QStringList log;
    QString device;
    bool connectedFlag = true, recording = false;
    bool connected() const override { return connectedFlag; }
    bool meterRecording() const override { return recording; }
    QString deviceName() const override { return device; }
    bool waitTimerIdle(int) override { return true; }
    void stopMainTimer() override { log += "stopTimer"; }
    bool waitReceiveIdle(int) override { return true; }
    void closeLivePort() override { log += "closeLive"; }
    void reopenLivePort() override { log += "openLive"; }
    void writeLivePort(const QByteArray& c) override {
        log += QString::fromLatin1("write " + c.toHex(' '));
    }
    void startMainTimer() override { log += "startTimer"; }
};

// The device taken and given back, with or without the resume command.
inline QStringList handedBack(const char* resume = nullptr) {
    QStringList log{"stopTimer", "closeLive", "openLive"};
    if (resume)
        log += QString::fromLatin1("write ") + QLatin1String(resume);
    return log << "startTimer";
}

// A memory holding only its header: start time 19 Jul 2016 10:30:00, no data set, the
// recording interval given (three bytes, 100-us units). The rest reads as erased.
inline QByteArray headerImage(quint32 interval) {
    QByteArray h(256, '\xFF');
    const char fields[] = {0, 0, 20, 16, 7, 19, 10, 30, 0, 0, 0, 0, char(0xFF)};
    h.replace(0, qsizetype(sizeof fields), QByteArray(fields, sizeof fields));
    h[13] = char(interval >> 16);
    h[14] = char(interval >> 8);
    h[15] = char(interval);
    return h;
}

// Waits short enough for a test against metersim, which answers at once.
inline LoggerTiming fastTiming() {
    LoggerTiming t;
    t.settleMs = 10;
    t.quietMs = 20;
    t.silenceMs = 400;
    t.partialMs = 150;
    t.pollMs = 1;
    t.echoWaitMs = 150;
    t.headerLimitMs = 1500;
    return t;
}

// The system's monotonic count, with a time of day of the test's choosing.
struct FixedTimeClock : Clock {
    double days = dateTimeToDays(QDateTime(QDate(2026, 1, 5), QTime(12, 0, 0, 300)));
    double now() const override { return days; }
};

// metersim serving a memory image, the logger port and the live side pointed at it; stop()
// ends it and gives back the memory as it was left.
struct MeterSession {
    QTemporaryDir dir;
    MeterSimProcess sim;
    RecordingLive live;
    MeterPort port;

    MeterSession() {
        port.onError = [](MeterPort*, const PortError&, PortErrorAction& a) { a = caAbort; };
    }
    bool start(const QByteArray& image, const QStringList& options = {}) {
        QFile in(dir.filePath("in.bin"));
        if (!in.open(QIODevice::WriteOnly) || in.write(image) != image.size())
            return false;
        in.close();
        if (!sim.start(QStringList{"--instant", "--image", in.fileName(), "--save-image",
                                   dir.filePath("out.bin")} +
                       options))
            return false;
        live.device = sim.path;
        return true;
    }
    QByteArray stop() {
        closeQuietly(port);
        sim.stop();
        QFile out(dir.filePath("out.bin"));
        return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
    }
};
