#pragma once

#include <QString>

#include <array>
#include <cstdint>

// Digit codes of the LCD: 0..9 the digit, 10 a blank position, 11 the letter L.
using DigitCodes = std::array<std::uint8_t, 4>;
inline constexpr std::uint8_t DigitBlank = 10;
inline constexpr std::uint8_t DigitL = 11;
inline constexpr DigitCodes BlankDigits{DigitBlank, DigitBlank, DigitBlank, DigitBlank};

// Bits of Reading::annunciators; bit n lights the LCD picture whose tag is n + 1.
enum AnnunciatorBit : unsigned {
    annLBT = 0,
    annHOLD = 1,
    annREL = 2,
    annMAX = 3,
    annMIN = 4,
    annPMAX = 5,
    annPMIN = 6,
    annRS232 = 7,
    annAUTO = 8,
    annMANU = 9,
    annRPM = 10,
    annREC = 11,
    annCONTIMUNITY = 12,
    annDIODE = 13,
    annAC = 14,
    annDC = 15,
    annAUTOOFF = 16,
    annSIGN = 17,
    annPoint1 = 18,
    annPoint2 = 19,
    annPoint3 = 20,
    annBarMinus = 21,
    annBarOL = 22,
    annC = 23,
    annF = 24,
    annnF = 25,
    annuF = 26,
    annmF = 27,
    annFara = 28,
    annuVA = 29,
    annmVA = 30,
    annVoltage = 31,
};

// Bits of Reading::unitAnnunciators; bit n lights the LCD picture whose tag is n + 33.
enum UnitAnnunciatorBit : unsigned {
    unitCurrent = 0,
    unitMOhmHz = 1,
    unitKOhmHz = 2,
    unitOhm = 3,
    unitHz = 4,
};

// The one current decoded live measurement.
struct Reading {
    unsigned rangeCode = 0;
    unsigned functionCode = 0;
    DigitCodes digits{0, 0, 0, 0};
    std::int32_t count = 0;
    bool overload = false;
    bool lowBattery = false;
    bool negative = false;
    bool altMode = false;
    bool frequencyMode = false;
    bool meterRecording = false;
    bool autoRange = false;
    bool ac = false;
    bool dc = false;
    bool peakHold = false;
    unsigned modeKey = 0;
    // 1, 10, 100 or 1000: counts per displayed unit. Starts at 1 so that a first frame which
    // leaves it unset can never divide by zero.
    std::int32_t divisor = 1;
    std::int32_t multiplier = 1;
    float value = 0.0f;
    QString valueText;
    QString functionName;
    QString unitText;
    std::uint32_t annunciators = 0;
    std::uint32_t unitAnnunciators = 0;
};

// MAX/MIN and peak-hold trackers; they hold counts, not scaled values.
struct Statistics {
    float maxCount = -1e9f;
    float minCount = 1e9f;
    float peakMaxCount = -1e9f;
    float peakMinCount = 1e9f;
    DigitCodes peakDigits = BlankDigits;
    bool peakNegative = false;
    float peakValue = 0.0f;
    bool peakActive = false;
};

// What the previous decoded frame looked like; the first frame counts as a change of
// function, range and scale.
struct PreviousFrame {
    unsigned previousFunctionCode = 99;
    unsigned previousRangeCode = 99;
    bool previousAltMode = false;
    unsigned previousModeKey = 0;
    std::int32_t previousMultiplier = 1;
};
