#pragma once

#include "portbackend.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

class MeterEmulator;

// The meter emulator inside the program, in place of a serial device ("Simulator" in the
// port list). Bytes come out of the emulator at the times it says and are delivered from the
// event loop, like a real device's.
class SimulatorBackend : public PortBackend {
public:
    SimulatorBackend();
    ~SimulatorBackend() override;

    // Makes every port object of the process open this backend for the name "Simulator"
    // (MeterPort::setSimulatorFactory). The program and the command-line tool call it at
    // start-up; the port object itself knows no emulator.
    static void install();

    void setPath(const QString&) override {}
    bool open(Failure* failure) override;
    void close() override;
    bool isOpen() const override;
    qint64 bytesAvailable() override;
    qint64 read(char* data, qint64 count) override;
    bool write(const char* data, qint64 count, Failure* failure) override;
    void waitWritten() override {}
    void clearInput() override;

    MeterEmulator& emulator();

private:
    qint64 now() const;
    void collect();
    void schedule();
    void deliver();

    std::unique_ptr<MeterEmulator> m_emulator;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QByteArray m_input;
    bool m_open = false;
};
