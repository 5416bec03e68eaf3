#pragma once

#include "reading.h"

#include <QByteArray>

class LiveViews;

// Turns validated live frames into the current Reading, keeps the MAX/MIN/peak statistics
// and the previous-frame memory, and lets the open views react in a fixed order:
// recorder and gauge on a function change, recorder on a range change, recorder and gauge on
// a scale change, the status window, the LCD panel, then the gauge's needle.
class FrameDecoder {
public:
    Reading reading;
    Statistics stats;
    PreviousFrame previous;
    // Value units per gauge step, and the step at which the needle was last drawn; both
    // outlive the gauge window.
    float AnalogScale = 100.0f;
    int NeedlePosition = 0;

    // Everything back to its start values.
    void Reset();

    // frame: nine characters 0x30..0x3F followed by CR LF. meterModel: 120 or 122.
    void DecodeFrame(const QByteArray& frame, int meterModel, LiveViews& views);

    // The status window's Reset: all four trackers and the held peak back to the start.
    void ResetStatistics();

    // A number as tables and the status window show it: fixed point with the given
    // decimals, the locale's decimal separator, no group separators.
    static QString FixedText(double value, int decimals);
    // Decimals shown for a divisor: 1 -> 0, 10 -> 1, 100 -> 2, 1000 -> 3; -1 for any other.
    static int DecimalsFor(int divisor);

private:
    void decodeFunction(int meterModel);
    void blankDigits();
    // The peak trackers and the held peak back to their start values.
    void resetPeak();
};
