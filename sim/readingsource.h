#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// Builds live frames: nine characters 0x30..0x3F (CR LF is added by the emulator).
//   1: range code, 2..5: digits (thousands first), 6: function code,
//   7: bit0 overload, bit1 low battery, bit2 negative, bit3 alt mode,
//   8: bit0 frequency mode, bit1 recording, bit2/3 peak hold,
//   9: bit1 auto range, bit2 AC, bit3 DC.
struct LiveFrame {
    int range = 0;
    int count = 0;  // -9999..9999; the sign goes into the negative bit
    int function = 11;
    bool overload = false;
    bool lowBattery = false;
    bool altMode = false;
    bool frequencyMode = false;
    bool peakHold = false;
    bool autoRange = true;
    bool ac = false;
    bool dc = true;

    // Nine characters; the recording bit is filled in by the emulator.
    QByteArray encode(bool recording = false) const;
};

// A source of live readings for the emulator: the nine frame characters of each next reading.
class ReadingSource {
public:
    virtual ~ReadingSource() = default;
    // The nine characters of the next frame (recording bit clear; the emulator sets it).
    virtual QByteArray next() = 0;

    // A fixed list of frames, played in order and repeated from the start when `loop`.
    // When the list is exhausted without `loop`, the last frame is repeated.
    static std::unique_ptr<ReadingSource> script(const QList<QByteArray>& frames, bool loop = true);
    // Reads a script file: one frame of nine characters a line; blank lines and lines starting
    // with '#' are skipped. Returns nullptr and sets *error when the file is unusable.
    static std::unique_ptr<ReadingSource> scriptFile(const QString& path, QString* error);
    // Generated readings that walk through every function, range and mode of the meter (voltage,
    // current, resistance, frequency, RPM, capacitance, temperature, diode, continuity), with
    // values that move like a real signal, an overload now and then, and peak hold.
    static std::unique_ptr<ReadingSource> tour(int framesPerStep = 20);
    // One function and range with a slowly varying value (a sine around `centre` counts).
    static std::unique_ptr<ReadingSource> steady(int function, int range, int centre = 1234,
                                                 int swing = 300);
};
