#pragma once

// A recorder driven the way the program drives it: the live link's tick step on an injected
// clock, live frames through the link's receive step, the recorder following the link and a
// real RecorderWindow showing the recorder.

#include "clock.h"
#include "recorder.h"
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
    double at(qint64 s) const { return dateTimeToDays(base.addSecs(s)); }
};

// Two date-times (days) within a millisecond of each other.
inline bool sameTime(double a, double b) {
    return DaysToSeconds(qAbs(a - b)) < 1e-3;
}

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
    LiveLink link;
    Recorder recorder{link};
    std::unique_ptr<RecorderWindow> rtc;

    RecorderRig() {
        link.setClock(&clock);
        link.setDeviceName(QStringLiteral("/dev/fake"));
        link.openPort(); // the link comes up with the first frame
        rtc = std::make_unique<RecorderWindow>(recorder, link);
        rtc->show();
        rtc->setupChart();
    }

    // A frame from the meter: decoded, and a new reading for the next tick.
    void receive(const QByteArray& frame) { meter.device->send(frame); }
    // The schedule changed as `edit` says.
    template <typename F> void editSchedule(F edit) {
        RecorderSchedule schedule = recorder.schedule();
        edit(schedule);
        recorder.setSchedule(schedule);
    }
    // One tick, a second after the previous one.
    void tick() {
        ++clock.seconds;
        link.onTick();
    }
    void tickWithReading(const QByteArray& frame) {
        receive(frame);
        tick();
    }
};
