#include "recorderschedule.h"

RecorderSchedule::Action RecorderSchedule::tick(double now, bool recording) {
    if (!m_armed)
        return Action::None;
    if (now > m_stop) {
        m_armed = false;
        return Action::StopRecording;
    }
    if (now >= m_start && !recording)
        return Action::StartRecording;
    return Action::None;
}

qint64 RecorderSchedule::durationSeconds(const QDateTime& start, const QDateTime& stop) {
    const auto asUtc = [](const QDateTime& dt) { return QDateTime(dt.date(), dt.time(), Qt::UTC); };
    return asUtc(start).secsTo(asUtc(stop));
}

qint64 RecorderSchedule::recordCount(qint64 durationSeconds, int interval) {
    if (interval <= 0 || durationSeconds <= 0)
        return 0;
    return durationSeconds / interval;
}
