#pragma once

#include <QString>

// The unit of a logger record's range: the unit text, the divisor that turns the record's
// magnitude into a value in that unit, and the multiplier of the unit against the function's
// smallest unit (KOhm 1000, MOhm 1000000), used to draw a set that changes range in one unit.
struct RangeUnit {
    QString unit;
    int divisor = 1;
    int multiplier = 1;
    // False for a range code the function does not have: the unit text is empty ("mA" for
    // function 9) and divisor and multiplier mean nothing; a decoder keeps the previous ones.
    bool listed = true;
};

// The logger's unit table, by function code (0..15), range code (0..7, bits 6..4 of the
// record's first byte) and altMode (bit 3 of the set's mode bits: RPM instead of frequency,
// Celsius instead of Fahrenheit).
RangeUnit unitForRange(int functionCode, int rangeCode, bool altMode);
