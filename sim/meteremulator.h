#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <memory>

class ReadingSource;

// The meter's side of the serial protocol, as bytes in and bytes out.
//
// The host hands over what the PC wrote (write) and asks what has reached the PC by a given
// time (read). Time is whatever monotonic millisecond count the host uses; the emulator never
// looks at a clock of its own, so tests can drive it with made-up times.
//
// Live side: K is answered with the identity text ("120\r" or "122\r"), A starts the live
// stream, and after each live frame the meter waits for Y before it sends the next one (no
// sooner than frameIntervalMs after the previous frame). Every 6-byte command is echoed
// first, unless the echo is withheld. K also stops a running stream (so K then A restarts it);
// A always (re)starts it with a frame at once. Commands are found in the byte stream (0x02,
// letter, three parameter bytes, 0x03) however the writes split them; other bytes are skipped.
class MeterEmulator {
public:
    // Fault knobs.
    struct Faults {
        int corruptFrameEvery = 0;  // every Nth live frame carries a character outside 0x30..0x3F
        int dropFrameEvery = 0;     // every Nth live frame loses its 5th character
        bool silent = false;        // the meter sends nothing at all (answers, frames, echoes)
        bool withholdEcho = false;  // commands are carried out but not echoed
    };

    explicit MeterEmulator(int model = 122);
    ~MeterEmulator();

    int model() const;
    void setModel(int model);  // 120 or 122

    // true: bytes arrive at the real 9600-baud pace (about 1.04 ms a byte); false: at once.
    bool paced() const;
    void setPaced(bool paced);

    // Least time between the starts of two live frames; 0 sends the next one as soon as the
    // previous one is acknowledged (a flood, for benchmarks).
    int frameIntervalMs() const;
    void setFrameIntervalMs(int ms);

    // The meter's own recording bit (frame character 8, bit 1).
    bool recording() const;
    void setRecording(bool on);

    Faults& faults();
    const Faults& faults() const;

    // Where live readings come from; the emulator owns it. Default: ReadingSource::tour().
    void setReadings(std::unique_ptr<ReadingSource> source);

    // Bytes the PC wrote at time nowMs.
    void write(const QByteArray& bytes, qint64 nowMs);
    // Bytes that have reached the PC by nowMs (removed from the emulator's output).
    QByteArray read(qint64 nowMs);
    // Earliest time at which read() returns more bytes; -1 when nothing is pending.
    qint64 nextOutputMs() const;

    // Counters, for tests and benchmarks.
    qint64 framesSent() const;
    qint64 acksReceived() const;
    bool streaming() const;  // A received and the live stream running

    // Forget everything in flight (as when the line is closed and opened again): pending input
    // and output, the live stream. Settings, faults, the reading source and counters stay.
    void reset();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
