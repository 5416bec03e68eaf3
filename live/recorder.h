#pragma once

#include "liveupdate.h"
#include "recordersamples.h"
#include "recorderschedule.h"
#include "recorderstate.h"

#include <QObject>
#include <QString>

class LiveLink;

// One sample of the live reading, as the recorder took it.
struct RecorderSample {
    int number = 0;   // 1 for the first sample after the recorder was emptied
    double when = 0;  // days since 30 Dec 1899
    float value = 0;  // in the reading's own unit
    int unitSize = 1; // RecorderSamples::unitSize of that unit
    bool overload = false; // the meter showed OL: `value` is no measurement
    // The limit the readings were beyond when it was taken: "above", "below", or empty.
    QString limit;
    QString valueText;
    QString unitText;
    QString function; // the meter's function (Reading::functionName)
};

// The real-time recorder without its window: whether it records and at which rate, its
// schedule, and the samples taken. It follows the live link by itself: every decoded frame
// is the reading a sample takes, every tick that had a reading paces the samples and runs the
// schedule, and a change of function empties it. The recorder window is one view of it; the
// recorder lives for the whole run, so a window that comes and goes loses nothing of its state.
//
// Signals carry what changed as values; views never write into the recorder except through
// the commands below.
class Recorder : public QObject {
    Q_OBJECT
public:
    explicit Recorder(LiveLink& link, QObject* parent = nullptr);

    // ---- commands -----------------------------------------------------------------------
    // Recording on: the first sample comes with the first tick that has a reading once the
    // rate's interval has passed.
    void start();
    // Recording off; also ends a schedule, running or waiting.
    void stop();
    // No samples; the time axis span laid out again for the current rate.
    void clear();
    // Seconds between samples (0: every tick that has a reading).
    void setRecordInterval(int seconds);
    // A schedule as the schedule dialog confirmed it.
    void setSchedule(const RecorderSchedule& schedule);
    // One sample of the current reading, taken at `when` (days since 30 Dec 1899). The ticks
    // take samples on their own while recording; this takes one now.
    void takeSample(double when);
    // The limit the readings are beyond from now on ("above", "below"; empty: none), which
    // every sample carries (the limit monitor says it).
    void markLimit(const QString& limit) { m_limit = limit; }

    // ---- state --------------------------------------------------------------------------
    bool recording() const { return m_state.recording(); }
    int recordInterval() const { return m_state.recordInterval(); }
    // The time axis span, in days, as last laid out.
    double span() const { return m_state.span(); }
    const RecorderSchedule& schedule() const { return m_schedule; }
    // Whether Start and Stop make sense now (no meter: neither).
    bool canStart() const { return m_canStart; }
    bool canStop() const { return m_canStop; }
    int sampleCount() const { return m_samples.size(); }
    // Every sample's value with the unit it was taken in, for converting into one unit.
    const RecorderSamples& samples() const { return m_samples; }
    // The reading a sample takes now.
    const Reading& reading() const { return m_reading; }

    // Ticks since the last sample (a rate's interval is counted in ticks).
    int ticksSinceSample() const { return m_tickCounter; }

Q_SIGNALS:
    void sampleTaken(const RecorderSample& sample);
    // Samples were discarded because the meter changed function; the time axis stays.
    // `unitSize` is the unit the next samples come in.
    void functionChanged(int unitSize);
    // The meter changed range: from now on readings come in a unit of `unitSize`.
    void rangeChanged(int unitSize);
    // Values are on another scale: full scale is that of `divisor`.
    void scaleChanged(int divisor);
    // Samples were discarded on request (clear).
    void cleared();
    // Recording started or stopped, or Start/Stop changed whether they make sense.
    void buttonsChanged(bool canStart, bool canStop);
    // The rate changed by itself (a schedule set its own).
    void recordIntervalChanged(int seconds);

private:
    void onUpdated(const LiveUpdate& update);
    void onTicked(double now, bool withReading);
    void onConnectionChanged(bool connected);
    void setButtons(bool canStart, bool canStop);

    LiveLink& m_link;
    RecorderState m_state;
    RecorderSchedule m_schedule;
    RecorderSamples m_samples;
    Reading m_reading;
    int m_tickCounter = 0;
    QString m_limit;
    bool m_canStart = false;
    bool m_canStop = false;
};
