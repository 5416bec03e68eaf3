#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <span>

// The meter's ranges and divisors in one place: which unit and divisor each range code of a
// ranged function shows, and what a divisor means for the display (decimals, the digits that
// may turn blank, the full scale). The decoder, the status window, the gauge and the recorder
// all read these rows instead of keeping switches of their own.

// One range of a function: the unit it shows, counts per unit, and the size of that unit
// relative to the smallest unit of its kind (mV 1, V 1000; Ohm 1, KOhm 1000, MOhm 1000000).
struct MeterRange {
    const char* unit;
    std::int32_t divisor;
    std::int32_t multiplier;
};

// What a divisor (counts per displayed unit) means for the display of a four-digit count.
struct DivisorScale {
    std::int32_t divisor;
    int decimals; // digits after the decimal point
    // The largest magnitude the display reaches (4000 counts) in displayed units: the limit of
    // the recorder's y axis and the gauge's end label.
    int fullScale;

    // Leading digits that may turn blank when zero: all but the units digit and the decimals.
    int blankableDigits() const { return 3 - decimals; }
};

class RangeTable {
public:
    enum class Ranged { Frequency, Rpm, Ohm, Capacitance, Voltage };

    // The ranges of a ranged function, indexed by range code; a code past the end is not one
    // the meter uses for that function.
    static std::span<const MeterRange> ranges(Ranged function);

    // The row of a divisor; nullptr for a divisor the meter never reports.
    static const DivisorScale* forDivisor(std::int32_t divisor);

    // The size of a unit as a reading names it (see MeterRange::multiplier); 1 for a unit that
    // has no larger or smaller relative (currents are separate functions; C and F are not
    // multiples).
    static int unitSize(QStringView unitText);

    // Every unit text a reading can carry, ranged and fixed, in no particular order.
    static QStringList unitTexts();

    // A reading's value in the coherent unit of its quantity: si = value * factor + offset, in
    // `unit` (UTF-8). Volts, amperes, ohms, hertz and farads for their multiples; degrees
    // Celsius for both temperature units; revolutions per minute, which have no such unit,
    // stay rpm. An unknown unit text maps to itself with factor 1.
    struct SiScale {
        QByteArray unit;
        double factor = 1;
        double offset = 0;
    };
    static SiScale toSi(QStringView unitText);

    // A unit text as the meter's display writes it, for tables on screen and on paper:
    // "KOhm" -> "kΩ", "KHz" -> "kHz", "uA" -> "µA", "C" -> "°C", ...; any other text as it is.
    // Files keep the unit texts themselves (readers of stored files rely on them).
    static QString displayUnit(const QString& unitText);
};
