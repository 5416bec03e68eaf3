#include "rangeunit.h"

#include <array>

namespace {

struct Entry {
    const char* unit;
    int divisor;
    int multiplier;
};

template <std::size_t N> RangeUnit pick(const std::array<Entry, N>& table, int rangeCode) {
    if (rangeCode < 0 || std::size_t(rangeCode) >= N)
        return {QString(), 1, 1, false};
    const Entry& e = table[std::size_t(rangeCode)];
    return {QString::fromLatin1(e.unit), e.divisor, e.multiplier, true};
}

constexpr std::array<Entry, 6> kFrequency{{{"KHz", 1000, 1},
                                           {"KHz", 100, 1},
                                           {"KHz", 10, 1},
                                           {"MHz", 1000, 1000},
                                           {"MHz", 100, 1000},
                                           {"MHz", 10, 1000}}};
constexpr std::array<Entry, 6> kRpm{{{"KRPM", 100, 1},
                                     {"KRPM", 10, 1},
                                     {"MRPM", 1000, 1000},
                                     {"MRPM", 100, 1000},
                                     {"MRPM", 10, 1000},
                                     {"MRPM", 1, 1000}}};
constexpr std::array<Entry, 6> kOhm{{{"Ohm", 10, 1},
                                     {"KOhm", 1000, 1000},
                                     {"KOhm", 100, 1000},
                                     {"KOhm", 10, 1000},
                                     {"MOhm", 1000, 1000000},
                                     {"MOhm", 100, 1000000}}};
constexpr std::array<Entry, 8> kCapacitance{{{"nF", 1000, 1},
                                             {"nF", 100, 1},
                                             {"nF", 10, 1},
                                             {"uF", 1000, 1000},
                                             {"uF", 100, 1000},
                                             {"uF", 10, 1000},
                                             {"mF", 1000, 1000000},
                                             {"mF", 100, 1000000}}};
constexpr std::array<Entry, 2> kMilliamps{{{"mA", 100, 1}, {"mA", 10, 1}}};
constexpr std::array<Entry, 5> kVolts{
    {{"mV", 10, 1}, {"V", 1000, 1000}, {"V", 100, 1000}, {"V", 10, 1000}, {"V", 1, 1000}}};
constexpr std::array<Entry, 2> kMicroamps{{{"uA", 10, 1}, {"uA", 1, 1}}};

} // namespace

RangeUnit unitForRange(int functionCode, int rangeCode, bool altMode) {
    switch (functionCode) {
    case 1:
        return {QStringLiteral("V"), 1, 1, true};
    case 2:
        return altMode ? pick(kRpm, rangeCode) : pick(kFrequency, rangeCode);
    case 3:
        return pick(kOhm, rangeCode);
    case 4:
        return {altMode ? QStringLiteral("C") : QStringLiteral("F"), 1, 1, true};
    case 5:
        return {QStringLiteral("ohm"), 1, 1, true};
    case 6:
        return pick(kCapacitance, rangeCode);
    case 9: {
        RangeUnit u = pick(kMilliamps, rangeCode);
        u.unit = QStringLiteral("mA"); // every range of this function shows mA
        return u;
    }
    case 11:
        return pick(kVolts, rangeCode);
    case 13:
        return pick(kMicroamps, rangeCode);
    case 15:
        return {QStringLiteral("A"), 1, 1, true};
    default: // 0, 7, 8, 10, 12, 14
        return {QStringLiteral(" "), 1, 1, true};
    }
}
