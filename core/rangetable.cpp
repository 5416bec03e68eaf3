#include "rangetable.h"

#include <algorithm>
#include <array>

namespace {

constexpr MeterRange kFrequency[] = {{"KHz", 1000, 1},    {"KHz", 100, 1},    {"KHz", 10, 1},
                                     {"MHz", 1000, 1000}, {"MHz", 100, 1000}, {"MHz", 10, 1000}};
constexpr MeterRange kRpm[] = {{"KRPM", 100, 1},    {"KRPM", 10, 1},    {"MRPM", 1000, 1000},
                               {"MRPM", 100, 1000}, {"MRPM", 10, 1000}, {"MRPM", 1, 1000}};
constexpr MeterRange kOhm[] = {{"Ohm", 10, 1},     {"KOhm", 1000, 1000},    {"KOhm", 100, 1000},
                               {"KOhm", 10, 1000}, {"MOhm", 1000, 1000000}, {"MOhm", 100, 1000000}};
constexpr MeterRange kCapacitance[] = {{"nF", 1000, 1},       {"nF", 100, 1},      {"nF", 10, 1},
                                       {"uF", 1000, 1000},    {"uF", 100, 1000},   {"uF", 10, 1000},
                                       {"mF", 1000, 1000000}, {"mF", 100, 1000000}};
constexpr MeterRange kVoltage[] = {
    {"mV", 10, 1}, {"V", 1000, 1000}, {"V", 100, 1000}, {"V", 10, 1000}, {"V", 1, 1000}};

// Units of the functions without ranges: diode V, temperature C and F, continuity Ohm, the
// three currents.
constexpr const char* kFixedUnits[] = {"V", "C", "F", "Ohm", "mA", "uA", "A"};

constexpr std::array<DivisorScale, 4> kDivisors{{
    {1, 0, 4000},
    {10, 1, 400},
    {100, 2, 40},
    {1000, 3, 4},
}};

constexpr std::span<const MeterRange> kAllRanged[] = {kFrequency, kRpm, kOhm, kCapacitance,
                                                      kVoltage};

} // namespace

std::span<const MeterRange> RangeTable::ranges(Ranged function) {
    return kAllRanged[std::size_t(function)];
}

const DivisorScale* RangeTable::forDivisor(std::int32_t divisor) {
    const auto found =
        std::find_if(kDivisors.begin(), kDivisors.end(),
                     [divisor](const DivisorScale& d) { return d.divisor == divisor; });
    return found == kDivisors.end() ? nullptr : &*found;
}

int RangeTable::unitSize(QStringView unitText) {
    for (const auto ranges : kAllRanged) {
        for (const MeterRange& r : ranges) {
            if (unitText == QLatin1String(r.unit))
                return r.multiplier;
        }
    }
    return 1;
}

QStringList RangeTable::unitTexts() {
    QStringList units;
    const auto add = [&units](const char* unit) {
        const QString text = QString::fromLatin1(unit);
        if (!units.contains(text))
            units += text;
    };
    for (const auto ranges : kAllRanged) {
        for (const MeterRange& r : ranges)
            add(r.unit);
    }
    for (const char* unit : kFixedUnits)
        add(unit);
    return units;
}

RangeTable::SiScale RangeTable::toSi(QStringView unitText) {
    struct Row {
        const char* unit;
        const char* si;
        double factor;
        double offset;
    };
    // "F" alone is the temperature unit: the capacitance units always carry a prefix.
    static constexpr Row kRows[] = {
        {"mV", "V", 1e-3, 0},        {"V", "V", 1, 0},
        {"uA", "A", 1e-6, 0},        {"mA", "A", 1e-3, 0},
        {"A", "A", 1, 0},            {"Ohm", "Ohm", 1, 0},
        {"KOhm", "Ohm", 1e3, 0},     {"MOhm", "Ohm", 1e6, 0},
        {"KHz", "Hz", 1e3, 0},       {"MHz", "Hz", 1e6, 0},
        {"nF", "F", 1e-9, 0},        {"uF", "F", 1e-6, 0},
        {"mF", "F", 1e-3, 0},        {"C", "\u00b0C", 1, 0},
        {"F", "\u00b0C", 5.0 / 9.0, -160.0 / 9.0},
        {"KRPM", "rpm", 1e3, 0},     {"MRPM", "rpm", 1e6, 0},
    };
    for (const Row& r : kRows) {
        if (unitText == QLatin1String(r.unit))
            return {QByteArray(r.si), r.factor, r.offset};
    }
    return {unitText.toUtf8(), 1, 0};
}

QString RangeTable::displayUnit(const QString& unitText) {
    struct Row {
        const char* unit;
        const char16_t* shown;
    };
    static constexpr Row kRows[] = {
        {"Ohm", u"\u03a9"},      {"KOhm", u"k\u03a9"}, {"MOhm", u"M\u03a9"}, {"KHz", u"kHz"},
        {"uA", u"\u00b5A"},      {"uF", u"\u00b5F"},   {"C", u"\u00b0C"},    {"F", u"\u00b0F"},
        {"KRPM", u"kRPM"},
    };
    if (unitText.size() > 4)
        return unitText;
    for (const Row& r : kRows) {
        if (unitText == QLatin1String(r.unit))
            return QString::fromUtf16(r.shown);
    }
    return unitText;
}
