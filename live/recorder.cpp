#include "recorder.h"

#include "livelink.h"

Recorder::Recorder(LiveLink& link, QObject* parent) : QObject(parent), m_link(link) {
    connect(&link, &LiveLink::updated, this, &Recorder::onUpdated);
    connect(&link, &LiveLink::ticked, this, &Recorder::onTicked);
    connect(&link, &LiveLink::connectionChanged, this,
            [this](bool connected, int) { onConnectionChanged(connected); });
}

void Recorder::start() {
    // The counter stays: the first sample comes once it has reached the interval.
    m_state.setRecording(true);
    setButtons(false, true);
}

void Recorder::stop() {
    m_state.setRecording(false);
    m_schedule.setArmed(false);
    setButtons(true, false);
}

void Recorder::clear() {
    m_samples.clear();
    m_state.resetSpan();
    Q_EMIT cleared();
}

void Recorder::setRecordInterval(int seconds) {
    m_state.setRecordInterval(seconds);
}

void Recorder::setSchedule(const RecorderSchedule& schedule) {
    m_schedule = schedule;
}

void Recorder::setButtons(bool canStart, bool canStop) {
    m_canStart = canStart;
    m_canStop = canStop;
    Q_EMIT buttonsChanged(canStart, canStop);
}

void Recorder::onConnectionChanged(bool connected) {
    if (connected) {
        setButtons(!m_state.recording(), m_state.recording());
    } else {
        setButtons(false, false);
        m_tickCounter = 0;
    }
}

void Recorder::onUpdated(const LiveUpdate& update) {
    m_reading = update.reading;
    const int unit = RecorderSamples::unitSize(update.reading.unitText);
    if (update.functionChanged) {
        m_samples.clear();
        Q_EMIT functionChanged(unit);
    }
    if (update.rangeChanged)
        Q_EMIT rangeChanged(unit);
    if (update.scaleChanged)
        Q_EMIT scaleChanged(update.reading.divisor);
}

void Recorder::onTicked(double now, bool withReading) {
    ++m_tickCounter;
    if (!withReading)
        return;
    switch (m_schedule.tick(now, m_state.recording())) {
    case RecorderSchedule::Action::StartRecording:
        m_state.setRecording(true);
        m_tickCounter = m_schedule.interval();
        m_state.setRecordInterval(m_schedule.recordInterval());
        Q_EMIT recordIntervalChanged(m_state.recordInterval());
        // A scheduled recording can be stopped early like any other.
        setButtons(false, true);
        break;
    case RecorderSchedule::Action::StopRecording:
        m_state.setRecording(false);
        setButtons(true, false);
        break;
    case RecorderSchedule::Action::None:
        break;
    }
    if (m_state.recording() && m_tickCounter >= m_state.recordInterval()) {
        m_tickCounter = 0;
        takeSample(now);
    }
}

void Recorder::takeSample(double when) {
    RecorderSample sample;
    sample.when = when;
    sample.value = m_reading.value;
    sample.unitSize = RecorderSamples::unitSize(m_reading.unitText);
    sample.overload = m_reading.overload;
    sample.limit = m_limit;
    sample.valueText = m_reading.valueText;
    sample.unitText = m_reading.unitText;
    sample.function = m_reading.functionName;
    m_samples.append(sample.value, sample.unitSize);
    sample.number = m_samples.size();
    Q_EMIT sampleTaken(sample);
}
