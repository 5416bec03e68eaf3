#pragma once

#include "daycount.h"

#include <algorithm>

// Whether the recorder records, at which rate, and the rules of its time axis: a value the
// live link owns for the whole run (the recorder window may come and go). The main timer
// reads it to pace the samples; the recorder window and the schedule change it.
class RecorderState {
public:
    // Samples per span of the time axis.
    static constexpr int Points = 100;

    bool recording() const { return m_recording; }
    void setRecording(bool on) { m_recording = on; }

    // Seconds between samples (0: every tick that has a reading).
    int recordInterval() const { return m_interval; }
    void setRecordInterval(int seconds) { m_interval = std::max(seconds, 0); }

    // The span of the time axis in days, as last laid out (for Points samples at the rate of
    // that moment).
    double span() const { return m_span; }
    void resetSpan() { m_span = spanFor(m_interval); }

    // Points samples at `interval` seconds, in days; the rate 0 samples about once a second.
    static double spanFor(int interval) { return SecondsToDays(Points * std::max(interval, 1)); }
    // The end of the time axis once a sample at `when` has been added to an axis ending at
    // `end`: unchanged while the sample fits, else grown by as many whole spans of `step` as
    // it takes to hold it again (after a pause in the readings that is more than one). All in
    // days; `tolerance` absorbs rounding of the sample times.
    static double axisEndFor(double end, double when, double step, double tolerance);

private:
    bool m_recording = false;
    int m_interval = 2;
    double m_span = spanFor(2);
};
