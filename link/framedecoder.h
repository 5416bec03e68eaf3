#pragma once

#include "liveupdate.h"

#include <QByteArray>

// Turns validated live frames into readings. It keeps what a frame is compared with (the
// previous frame, the MAX/MIN/peak statistics) and nothing about who shows the result: the
// same frames decode to the same updates whatever windows are open.
class FrameDecoder {
public:
    // Everything back to its start values.
    void reset();

    // frame: nine characters 0x30..0x3F followed by CR LF. meterModel: 120 or 122.
    LiveUpdate decode(const QByteArray& frame, int meterModel);

    // The last decoded reading and the statistics now.
    const Reading& reading() const { return m_reading; }
    const Statistics& statistics() const { return m_stats; }

    // The status window's Reset: all four trackers and the held peak back to the start.
    void resetStatistics();

    // A number as tables and the status window show it: fixed point with the given
    // decimals, the locale's decimal separator, no group separators.
    static QString fixedText(double value, int decimals);
    // Decimals shown for a divisor: 1 -> 0, 10 -> 1, 100 -> 2, 1000 -> 3; -1 for any other.
    static int decimalsFor(int divisor);

private:
    void decodeFunction(int meterModel);
    void blankDigits();
    // The peak trackers and the held peak back to their start values.
    void resetPeak();

    Reading m_reading;
    Statistics m_stats;
    PreviousFrame m_previous;
};
