#pragma once

// A recorder driven the way the program drives it: the live link's main-timer step on an
// injected clock, the decoder on live frames, and views that forward the recorder's calls to
// a real RecorderWindow.

#include "clock.h"
#include "noviews.h"
#include "support/fakeport.h"
#include "livelink.h"
#include "recorderwindow.h"

#include <QByteArray>
#include <QPointer>

#include <cstdlib>
#include <memory>

// Whole seconds from a fixed start: 7 Mar 2025 10:00:00.
class TestClock : public Clock {
public:
    const QDateTime base{QDate(2025, 3, 7), QTime(10, 0, 0)};
    qint64 seconds = 0;

    qint64 monotonicMs() const override { return seconds * 1000; }
    double now() const override { return at(seconds); }
    double at(qint64 s) const { return DateTimeToDays(base.addSecs(s)); }
};

// Two date-times (days) within a millisecond of each other.
inline bool SameTime(double a, double b) {
    return DaysToSeconds(qAbs(a - b)) < 1e-3;
}

class RecorderViews : public NoViews {
public:
    QPointer<RecorderWindow> rtc;
    bool buttonsStart = false, buttonsStop = false;

    bool hasRecorder() const override { return rtc; }
    void recorderFunctionChange() override { rtc->FunctionChange(); }
    void recorderRangeChange(int previous, int multiplier) override {
        rtc->RangeChange(previous, multiplier);
    }
    void recorderScaleChange() override { rtc->ScaleChange(); }
    void recorderTakeSample(double when) override { rtc->TakeSample(when); }
    void recorderShowRate(int) override { rtc->ShowRate(); }
    void recorderSetButtons(bool start, bool stop) override { rtc->SetButtons(start, stop); }
};

// A live frame: range code, a signed count of up to four digits, the function character
// (';' voltage, '3' resistance, '6' capacitance, ...), automatic range and DC.
inline QByteArray LiveFrame(int range, int count, char function) {
    QByteArray f;
    f += char(0x30 | range);
    f += QByteArray::number(std::abs(count)).rightJustified(4, '0');
    f += function;
    f += char(0x30 | (count < 0 ? 4 : 0));
    f += char(0x30);
    f += char(0x30 | 2 | 8);
    f += "\r\n";
    return f;
}

struct RecorderRig {
    TestClock clock;
    FakeDeviceScope meter; // the meter's frames reach the link through its receive step
    RecorderViews views;
    LiveLink link{views};
    std::unique_ptr<RecorderWindow> rtc;

    RecorderRig() {
        link.setClock(&clock);
        link.livePort.setDeviceName(QStringLiteral("/dev/fake"));
        link.livePort.setActive(true);
        link.state.setConnected(true);
        rtc = std::make_unique<RecorderWindow>(link);
        views.rtc = rtc.get();
        rtc->show();
        rtc->SetupChart();
    }

    // A frame from the meter: decoded, and a new reading for the next tick.
    void Receive(const QByteArray& frame) { meter.device->send(frame); }
    // One main-timer tick, a second after the previous one.
    void Tick() {
        ++clock.seconds;
        link.onTick();
    }
    void TickWithReading(const QByteArray& frame) {
        Receive(frame);
        Tick();
    }
};
