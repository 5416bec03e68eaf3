#include "framedecoder.h"

#include "rangetable.h"

#include <QLocale>

#include <cstdlib>

namespace {

constexpr std::uint32_t bit(unsigned n) {
    return std::uint32_t(1) << n;
}

// The decimal point lit for each number of decimals (none, then from the right).
constexpr std::uint32_t kPointBits[] = {0, bit(annPoint3), bit(annPoint2), bit(annPoint1)};

std::uint32_t pointBit(std::int32_t divisor) {
    const DivisorScale* scale = RangeTable::forDivisor(divisor);
    return scale ? kPointBits[scale->decimals] : 0;
}

std::uint32_t prefixUnitBit(const QString& unit) {
    if (unit == u"KHz" || unit == u"KRPM" || unit == u"KOhm")
        return bit(unitKOhmHz);
    if (unit == u"MHz" || unit == u"MRPM" || unit == u"MOhm")
        return bit(unitMOhmHz);
    return 0;
}

std::uint32_t capacitanceBit(const QString& unit) {
    if (unit == u"nF")
        return bit(annnF);
    if (unit == u"uF")
        return bit(annuF);
    if (unit == u"mF")
        return bit(annmF);
    return 0;
}

} // namespace

void FrameDecoder::reset() {
    m_reading = Reading{};
    m_stats = Statistics{};
    m_previous = PreviousFrame{};
}

void FrameDecoder::resetStatistics() {
    m_stats.maxCount = -1e9f;
    m_stats.minCount = 1e9f;
    resetPeak();
}

void FrameDecoder::resetPeak() {
    m_stats.peakMaxCount = -1e9f;
    m_stats.peakMinCount = 1e9f;
    m_stats.peakValue = 0.0f;
    m_stats.peakNegative = false;
    m_stats.peakDigits = BlankDigits;
}

int FrameDecoder::decimalsFor(int divisor) {
    const DivisorScale* scale = RangeTable::forDivisor(divisor);
    return scale ? scale->decimals : -1;
}

QString FrameDecoder::fixedText(double value, int decimals) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    // The bidi mark some locales put before a minus sign (U+200E in Hebrew and Persian, U+061C
    // in Arabic) goes into every table cell and file from here; readers of those files would
    // not take the number. The digits and the minus sign stay as the locale writes them.
    QString text = locale.toString(value, 'f', decimals);
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Format; });
    return text;
}

void FrameDecoder::decodeFunction(int meterModel) {
    Reading& r = m_reading;
    // A range the row lists sets unit, divisor, multiplier and the decimal point; an unlisted
    // one leaves all three as they were.
    auto applyRange = [&r](RangeTable::Ranged function) {
        const auto ranges = RangeTable::ranges(function);
        if (r.rangeCode >= ranges.size())
            return;
        const MeterRange& e = ranges[r.rangeCode];
        r.unitText = QString::fromLatin1(e.unit);
        r.divisor = e.divisor;
        r.multiplier = e.multiplier;
        r.annunciators |= pointBit(e.divisor);
        r.unitAnnunciators |= prefixUnitBit(r.unitText);
    };
    auto fixedDivisor = [&r](std::int32_t divisor) {
        r.divisor = divisor;
        r.annunciators |= pointBit(divisor);
    };

    if (meterModel == 120 && r.frequencyMode) {
        r.functionName = QStringLiteral("Freuqency");
        r.unitAnnunciators |= bit(unitHz);
        applyRange(RangeTable::Ranged::Frequency);
        return;
    }

    switch (r.functionCode) {
    case 1:
        r.functionName = QStringLiteral("Diode");
        r.annunciators |= bit(annVoltage) | bit(annDIODE);
        r.unitText = QStringLiteral("V");
        r.multiplier = 1;
        fixedDivisor(1000);
        break;
    case 2:
        if (!r.altMode) {
            r.functionName = QStringLiteral("Freuqency");
            r.unitAnnunciators |= bit(unitHz);
            applyRange(RangeTable::Ranged::Frequency);
        } else {
            r.functionName = QStringLiteral("RPM");
            r.annunciators |= bit(annRPM);
            applyRange(RangeTable::Ranged::Rpm);
        }
        break;
    case 3:
        r.functionName = QStringLiteral("OHM");
        r.unitAnnunciators |= bit(unitOhm);
        applyRange(RangeTable::Ranged::Ohm);
        break;
    case 4:
        r.functionName = QStringLiteral("Temperature");
        if (r.altMode) {
            r.unitText = QStringLiteral("C");
            r.annunciators |= bit(annC);
        } else {
            r.unitText = QStringLiteral("F");
            r.annunciators |= bit(annF);
        }
        r.multiplier = 1;
        r.divisor = 1;
        break;
    case 5:
        r.functionName = QStringLiteral("Continuity");
        r.annunciators |= bit(annCONTIMUNITY);
        r.unitText = QStringLiteral("Ohm");
        r.multiplier = 1;
        fixedDivisor(10);
        break;
    case 6:
        r.functionName = QStringLiteral("Capacitance");
        r.annunciators |= bit(annFara);
        applyRange(RangeTable::Ranged::Capacitance);
        if (r.rangeCode < RangeTable::ranges(RangeTable::Ranged::Capacitance).size())
            r.annunciators |= capacitanceBit(r.unitText);
        break;
    case 9:
        r.functionName = QStringLiteral("Current");
        r.annunciators |= bit(annmVA);
        r.unitAnnunciators |= bit(unitCurrent);
        r.unitText = QStringLiteral("mA");
        r.multiplier = 1;
        if (r.rangeCode == 0)
            fixedDivisor(100);
        else if (r.rangeCode == 1)
            fixedDivisor(10);
        break;
    case 11:
        r.functionName = QStringLiteral("Voltage");
        r.annunciators |= bit(annVoltage);
        applyRange(RangeTable::Ranged::Voltage);
        if (r.rangeCode == 0)
            r.annunciators |= bit(annmVA);
        break;
    case 13:
        r.functionName = QStringLiteral("Current");
        r.annunciators |= bit(annuVA);
        r.unitAnnunciators |= bit(unitCurrent);
        r.unitText = QStringLiteral("uA");
        r.multiplier = 1;
        if (r.rangeCode == 0)
            fixedDivisor(10);
        break;
    case 15:
        r.functionName = QStringLiteral("Current");
        r.unitAnnunciators |= bit(unitCurrent);
        r.unitText = QStringLiteral("A");
        r.multiplier = 1;
        fixedDivisor(100);
        break;
    default:
        // Codes the meter does not use: no unit, no decimal point.
        r.divisor = 1;
        r.multiplier = 1;
        break;
    }
}

void FrameDecoder::blankDigits() {
    DigitCodes& d = m_reading.digits;
    if (m_reading.overload) {
        d = {DigitBlank, 0, DigitL, DigitBlank};
        return;
    }
    // Leading positions that may turn blank; none for a divisor the meter never reports.
    const DivisorScale* scale = RangeTable::forDivisor(m_reading.divisor);
    const int blankable = scale ? scale->blankableDigits() : 0;
    for (int k = 0; k < blankable; ++k) {
        if (d[k] != 0)
            break;
        d[k] = DigitBlank;
    }
}

LiveUpdate FrameDecoder::decode(const QByteArray& frame, int meterModel) {
    Reading& r = m_reading;
    LiveUpdate update;
    auto ch = [&frame](int position) -> unsigned {
        return position - 1 < frame.size() ? std::uint8_t(frame[position - 1]) : 0u;
    };

    // Masks start empty.
    r.annunciators = 0;
    r.unitAnnunciators = 0;

    // Status bits.
    const unsigned c7 = ch(7), c8 = ch(8), c9 = ch(9);
    r.overload = c7 & 1;
    r.lowBattery = c7 & 2;
    r.negative = c7 & 4;
    r.altMode = c7 & 8;
    r.frequencyMode = c8 & 1;
    r.meterRecording = c8 & 2;
    r.peakHold = c8 & 12;
    r.autoRange = c9 & 2;
    r.ac = c9 & 4;
    r.dc = c9 & 8;

    // Digits; a character that is no decimal digit stops the conversion, and it and the
    // digits after it keep their previous codes.
    for (int k = 0; k < 4; ++k) {
        const unsigned c = ch(2 + k);
        if (c < '0' || c > '9')
            break;
        r.digits[k] = std::uint8_t(c - '0');
    }

    // Codes.
    r.rangeCode = ch(1) & 0x0F;
    r.functionCode = ch(6) & 0x0F;

    // Count.
    r.count = r.digits[0] * 1000 + r.digits[1] * 100 + r.digits[2] * 10 + r.digits[3];
    if (r.negative)
        r.count = -r.count;

    // Mode key.
    r.modeKey = unsigned(r.frequencyMode) | unsigned(r.altMode) << 1 | unsigned(r.ac) << 2 |
                unsigned(r.dc) << 3;

    // Peak hold bookkeeping.
    if (r.peakHold) {
        m_stats.peakActive = true;
    } else if (m_stats.peakActive) {
        resetPeak();
        m_stats.peakActive = false;
        update.peakEnded = true;
    }

    // Status annunciators.
    r.annunciators |= bit(annRS232);
    if (r.overload)
        r.annunciators |= bit(annBarOL);
    if (r.lowBattery)
        r.annunciators |= bit(annLBT);
    if (r.negative && !r.peakHold)
        r.annunciators |= bit(annSIGN) | bit(annBarMinus);
    if (r.peakHold)
        r.annunciators |= bit(annPMAX);
    r.annunciators |= r.autoRange ? bit(annAUTO) : bit(annMANU);
    if (r.ac)
        r.annunciators |= bit(annAC);
    if (r.dc)
        r.annunciators |= bit(annDC);

    // Function, unit, divisor, multiplier.
    decodeFunction(meterModel);

    // Function change (a change of mode counts, except Celsius/Fahrenheit).
    if (r.functionCode != m_previous.previousFunctionCode ||
        (r.modeKey != m_previous.previousModeKey && r.functionCode != 4)) {
        r.multiplier = 1;
        m_previous.previousMultiplier = 1;
        update.functionChanged = true;
    }

    // Range change within the same function (or the very first frame).
    if ((r.functionCode == m_previous.previousFunctionCode &&
         r.rangeCode != m_previous.previousRangeCode) ||
        m_previous.previousFunctionCode == 99) {
        update.rangeChanged = true;
        update.previousMultiplier = m_previous.previousMultiplier;
        if (m_previous.previousMultiplier < r.multiplier)
            m_previous.previousMultiplier = r.multiplier;
    }

    // Scale change: the statistics start again.
    if (r.functionCode != m_previous.previousFunctionCode ||
        r.rangeCode != m_previous.previousRangeCode || r.altMode != m_previous.previousAltMode) {
        resetStatistics();
        update.scaleChanged = true;
    }

    // Leading zeros become blank.
    blankDigits();

    // Statistics.
    const float count = float(r.count);
    if (count > m_stats.maxCount) {
        m_stats.maxCount = count;
        update.maxMoved = true;
    }
    if (count > m_stats.peakMaxCount && r.peakHold) {
        m_stats.peakNegative = r.negative;
        m_stats.peakDigits = r.digits;
        m_stats.peakValue = count / float(r.divisor);
        m_stats.peakMaxCount = count;
        update.peakMaxMoved = true;
    }
    if (count < m_stats.minCount) {
        m_stats.minCount = count;
        update.minMoved = true;
    }
    if (count < m_stats.peakMinCount && r.peakHold) {
        m_stats.peakMinCount = count;
        update.peakMinMoved = true;
    }

    // In peak hold the display shows the held maximum.
    if (r.peakHold) {
        r.digits = m_stats.peakDigits;
        if (m_stats.peakNegative)
            r.annunciators |= bit(annSIGN) | bit(annBarMinus);
    }

    // Remember this frame.
    m_previous.previousFunctionCode = r.functionCode;
    m_previous.previousRangeCode = r.rangeCode;
    m_previous.previousAltMode = r.altMode;
    m_previous.previousModeKey = r.modeKey;

    // Value and its text.
    r.value = float(r.count) / float(r.divisor);
    if (r.overload) {
        r.valueText = r.negative ? QStringLiteral("-OL") : QStringLiteral("OL");
    } else if (const int decimals = decimalsFor(r.divisor); decimals >= 0) {
        r.valueText = fixedText(r.value, decimals);
    }

    update.reading = r;
    update.stats = m_stats;
    return update;
}
