#pragma once

#include <QDateTime>
#include <QString>

// When the recorder starts and stops on its own, and at which rate: a value type the live
// link owns for the whole run. The schedule dialog edits a copy and hands it back on OK, so
// an armed schedule never runs on half-edited values.
//
// Start and stop are date-times as days since 30 Dec 1899; the texts are the same moments as
// the dialog shows them, kept so that it opens again on exactly what was confirmed.
class RecorderSchedule {
public:
    bool armed() const { return m_armed; }
    double start() const { return m_start; }
    double stop() const { return m_stop; }
    // Seconds between records as chosen (0: every tick).
    int interval() const { return m_interval; }
    QString startText() const { return m_startText; }
    QString stopText() const { return m_stopText; }

    void setArmed(bool armed) { m_armed = armed; }
    void setTimes(double start, double stop) {
        m_start = start;
        m_stop = stop;
    }
    void setInterval(int seconds) { m_interval = seconds; }
    void setTexts(const QString& start, const QString& stop) {
        m_startText = start;
        m_stopText = stop;
    }

    // What the main timer does on a tick that has a reading, at `now`.
    enum class Action {
        None,
        StartRecording, // inside the window and not yet recording
        StopRecording,  // past the stop: recording ends and the schedule is spent
    };
    // Decides, and disarms the schedule once its stop has passed.
    Action tick(double now, bool recording);

    // The recorder's rate while the schedule records (2 seconds for an interval of 0).
    int recordInterval() const { return m_interval == 0 ? 2 : m_interval; }

    // Whole seconds of wall-clock time from start to stop, counted on the dates and times
    // themselves so that no rounding of day fractions can cost a second.
    static qint64 durationSeconds(const QDateTime& start, const QDateTime& stop);
    // The number of records a schedule of that length takes at `interval` seconds.
    static qint64 recordCount(qint64 durationSeconds, int interval);

    bool operator==(const RecorderSchedule&) const = default;

private:
    bool m_armed = false;
    double m_start = 0;
    double m_stop = 0;
    int m_interval = 2;
    QString m_startText;
    QString m_stopText;
};
