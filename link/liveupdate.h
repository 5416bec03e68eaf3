#pragma once

#include "reading.h"

// What one live frame means, as a value: the reading it decoded, the MAX/MIN/peak statistics
// after it, and what changed with it. The live link hands one to every subscriber; each view
// takes what it shows from it and keeps its own display state. Nothing in it depends on which
// windows are open.
struct LiveUpdate {
    // The reading. During peak hold its Digits (and the sign annunciators) are those of the held
    // maximum, which is what the meter's own display shows; count and value stay the live ones.
    Reading reading;
    Statistics stats;

    // The meter turned to another function, or to another mode of it (Celsius and Fahrenheit
    // excepted). The first frame counts as one.
    bool functionChanged = false;
    // Another range of the same function (or the first frame): previousMultiplier is the
    // largest multiplier seen since the last function change, before this frame.
    bool rangeChanged = false;
    std::int32_t previousMultiplier = 1;
    // Function, range or alternate mode changed: values are on another scale, and the
    // statistics started again with this frame.
    bool scaleChanged = false;
    // Peak hold was switched off with this frame: the held peak is gone.
    bool peakEnded = false;
    // Which trackers took this frame's count.
    bool maxMoved = false;
    bool peakMaxMoved = false;
    bool minMoved = false;
    bool peakMinMoved = false;

    // What a needle shows: the held peak during peak hold, else the live value.
    double needleMagnitude() const;
    bool needleNegative() const;
};

inline double LiveUpdate::needleMagnitude() const {
    const double v = reading.peakHold ? stats.peakValue : reading.value;
    return v < 0 ? -v : v;
}

inline bool LiveUpdate::needleNegative() const {
    return reading.peakHold ? stats.peakNegative : reading.value < 0;
}
