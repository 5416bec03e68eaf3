#include "simulatorbackend.h"

#include "meteremulator.h"
#include "meterport.h"
#include "readingsource.h"

SimulatorBackend::SimulatorBackend() : m_emulator(std::make_unique<MeterEmulator>(122)) {
    m_clock.start();
    m_emulator->setPaced(true);
    m_emulator->setFrameIntervalMs(250);
    m_emulator->shareDemoLoggerMemory();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { deliver(); });
}

SimulatorBackend::~SimulatorBackend() = default;

void SimulatorBackend::install() {
    MeterPort::setSimulatorFactory([] { return std::make_unique<SimulatorBackend>(); });
}

MeterEmulator& SimulatorBackend::emulator() {
    return *m_emulator;
}

qint64 SimulatorBackend::now() const {
    return m_clock.elapsed();
}

bool SimulatorBackend::open(Failure*) {
    m_emulator->reset();
    m_input.clear();
    m_open = true;
    return true;
}

void SimulatorBackend::close() {
    m_open = false;
    m_timer.stop();
    m_input.clear();
    m_emulator->reset();
}

bool SimulatorBackend::isOpen() const {
    return m_open;
}

void SimulatorBackend::collect() {
    if (m_open)
        m_input += m_emulator->read(now());
}

void SimulatorBackend::schedule() {
    if (!m_open)
        return;
    const qint64 due = m_emulator->nextOutputMs();
    if (due < 0) {
        m_timer.stop();
        return;
    }
    const qint64 wait = qMax<qint64>(0, due - now());
    if (!m_timer.isActive() || m_timer.remainingTime() > wait)
        m_timer.start(int(qMin<qint64>(wait, 60000)));
}

void SimulatorBackend::deliver() {
    const qsizetype before = m_input.size();
    collect();
    const bool arrived = m_input.size() > before;
    schedule();
    if (arrived && onReadyRead)
        onReadyRead();
}

qint64 SimulatorBackend::bytesAvailable() {
    collect();
    schedule();
    return m_input.size();
}

qint64 SimulatorBackend::read(char* data, qint64 count) {
    const qint64 n = qMin<qint64>(count, m_input.size());
    std::copy_n(m_input.constData(), n, data);
    m_input.remove(0, n);
    return n;
}

bool SimulatorBackend::write(const char* data, qint64 count, Failure*) {
    if (!m_open)
        return false;
    m_emulator->write(QByteArray(data, count), now());
    schedule();
    return true;
}

void SimulatorBackend::clearInput() {
    collect();
    m_input.clear();
}
