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

std::span<const MeterRange> RangeTable::Ranges(Ranged function) {
    return kAllRanged[std::size_t(function)];
}

const DivisorScale* RangeTable::ForDivisor(std::int32_t divisor) {
    const auto found =
        std::find_if(kDivisors.begin(), kDivisors.end(),
                     [divisor](const DivisorScale& d) { return d.divisor == divisor; });
    return found == kDivisors.end() ? nullptr : &*found;
}

int RangeTable::UnitSize(QStringView unitText) {
    for (const auto ranges : kAllRanged) {
        for (const MeterRange& r : ranges) {
            if (unitText == QLatin1String(r.unit))
                return r.multiplier;
        }
    }
    return 1;
}

QStringList RangeTable::UnitTexts() {
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
