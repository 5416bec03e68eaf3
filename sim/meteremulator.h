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
//
// Logger side: a 64 KiB logger memory (layout: LoggerImageBuilder), kept across reset() as the
// meter keeps it across a closed line. A fresh emulator holds an erased memory.
//   C   opens the logger (and stops the live stream, as K does). P, W, R and E are carried out
//       only while the logger is open, that is from C until A or K; otherwise they are echoed
//       and ignored, as a meter that was never asked to open its memory would.
//   P   dumps the memory from address 0 in blocks of 65 bytes: 64 memory bytes and their sum
//       modulo 256. The dump covers the last used byte (header bytes 11..12, as they are
//       when P arrives) plus one, rounded up to a multiple of 64. The first block follows the
//       echo at once; then y sends the next one (none after the last), n the same one again,
//       Q stops the dump. y, n and Q are not echoed: the PC counts whatever arrives after its
//       answer as the next block. Another P starts afresh.
//   W   HH LL VV writes VV at address HH * 256 + LL.
//   R   HH LL -- echoes, then sends the one byte at address HH * 256 + LL.
//   E   45 45 -- erases: every byte but the time label (2..8) and the recording interval
//       (13..15) becomes 0xFF, then the set count is 0 and the last used byte 255. The two
//       parameter bytes must both be 'E' (the meter's guard against a stray byte pattern
//       wiping its memory); with anything else E is echoed and nothing happens.
//   A   resumes the live stream and closes the logger.
// The recording bit is independent of all this: a meter recording on its own still answers
// (the PC is the one that refuses to load while it records).
class MeterEmulator {
public:
    // Fault knobs.
    struct Faults {
        int corruptFrameEvery = 0; // every Nth live frame carries a character outside 0x30..0x3F
        int dropFrameEvery = 0;    // every Nth live frame loses its 5th character
        bool silent = false;       // the meter sends nothing at all (answers, frames, echoes)
        bool withholdEcho = false; // commands are carried out but not echoed

        // Logger side. Blocks are numbered from 0 in address order within one dump; "once"
        // means the first time that block is sent in each dump (a resend after n is good).
        int corruptBlock = -1;         // this block goes out with one data byte changed, so
        bool corruptEveryTime = false; //   its checksum no longer matches (every resend too)
        int cutBlock = -1;             // only the first cutBlockBytes bytes of this block go
        int cutBlockBytes = 40;        //   out; the meter then waits for y/n as usual
        bool cutEveryTime = false;     //   (false: a resend is whole)
        int silentAfterBlock = -1;     // after this block the dump hangs: y and n get nothing
                                       //   (other commands still work)
        int lineGoneAfterBlock = -1;   // after this block the meter is gone: nothing more at
                                       //   all, input ignored, lineGone() true until reset()
        QByteArray withholdEchoOf;     // letters (of "CPWRE") whose echo is withheld; the
                                       //   command is still carried out
        bool wrongReadByte = false;    // R answers with the stored byte's bits inverted
        int wrongReadAt = -1;          //   the same for R of this address only
        bool readSendsNothing = false; // R is echoed but its byte never comes
        int withholdEchoAt = -1;       // W and R of this address are carried out, not echoed
        int strayAfterBlock = -1;      // the first time this block goes out in a dump,
        int strayBytes = 1;            //   this many extra bytes follow it on the line (noise
                                       //   the PC must not take for the start of a block)
        char stopAtCommand = 0;        // the stopAtCount-th command of this letter (counted from
        int stopAtCount = 1;           //   the start) is carried out without its echo, and then
        bool stopSilent = false;       //   the meter is gone (lineGone()), or with stopSilent
                                       //   hangs on a line that stays open (takes and sends
                                       //   nothing more): a meter switched off or unplugged,
                                       //   or one that locked up, in the middle of a command
    };

    explicit MeterEmulator(int model = 122);
    ~MeterEmulator();

    int model() const;
    void setModel(int model); // 120 or 122

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

    // The logger memory: 65536 bytes (a shorter image is padded with 0xFF, a longer one cut).
    QByteArray loggerImage() const;
    void setLoggerImage(const QByteArray& image);
    // For the in-program simulator: from now on this emulator uses the one logger memory that
    // all emulators which called this share, starting as LoggerImageBuilder::demoImage(). The
    // port objects each open their own emulator on the same "device", and an erase or a
    // setup written through one must be what a download through another reads, as with one
    // real meter. setLoggerImage() then changes it for all of them.
    void shareDemoLoggerMemory();
    // Puts the demo image back into that shared memory (for tests, which run many sessions in
    // one process).
    static void restoreSharedDemoLoggerMemory();

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
    bool streaming() const;    // A received and the live stream running
    bool loggerOpen() const;   // C received and no A or K since
    bool dumping() const;      // P received and the dump neither finished nor stopped
    qint64 blocksSent() const; // logger blocks put on the line, resends and cut blocks included
    // The letters of the commands carried out since the last call, in order (the host's trace;
    // only the latest 4096 are kept for a host that never asks).
    QByteArray takeCommandLog();
    // The lineGoneAfterBlock fault struck: the host should drop the line (metersim closes the
    // pseudo-terminal).
    bool lineGone() const;

    // Forget everything in flight (as when the line is closed and opened again): pending input
    // and output, the live stream, an open logger and its dump, a gone line. Settings, faults,
    // the reading source, the logger memory and counters stay.
    void reset();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
