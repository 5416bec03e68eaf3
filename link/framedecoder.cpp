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
    const DivisorScale* scale = RangeTable::ForDivisor(divisor);
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
    m_stats.MaxCount = -1e9f;
    m_stats.MinCount = 1e9f;
    resetPeak();
}

void FrameDecoder::resetPeak() {
    m_stats.PeakMaxCount = -1e9f;
    m_stats.PeakMinCount = 1e9f;
    m_stats.PeakValue = 0.0f;
    m_stats.PeakNegative = false;
    m_stats.PeakDigits = BlankDigits;
}

int FrameDecoder::DecimalsFor(int divisor) {
    const DivisorScale* scale = RangeTable::ForDivisor(divisor);
    return scale ? scale->decimals : -1;
}

QString FrameDecoder::FixedText(double value, int decimals) {
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
        const auto ranges = RangeTable::Ranges(function);
        if (r.RangeCode >= ranges.size())
            return;
        const MeterRange& e = ranges[r.RangeCode];
        r.UnitText = QString::fromLatin1(e.unit);
        r.Divisor = e.divisor;
        r.Multiplier = e.multiplier;
        r.Annunciators |= pointBit(e.divisor);
        r.UnitAnnunciators |= prefixUnitBit(r.UnitText);
    };
    auto fixedDivisor = [&r](std::int32_t divisor) {
        r.Divisor = divisor;
        r.Annunciators |= pointBit(divisor);
    };

    if (meterModel == 120 && r.FrequencyMode) {
        r.FunctionName = QStringLiteral("Freuqency");
        r.UnitAnnunciators |= bit(unitHz);
        applyRange(RangeTable::Ranged::Frequency);
        return;
    }

    switch (r.FunctionCode) {
    case 1:
        r.FunctionName = QStringLiteral("Diode");
        r.Annunciators |= bit(annVoltage) | bit(annDIODE);
        r.UnitText = QStringLiteral("V");
        r.Multiplier = 1;
        fixedDivisor(1000);
        break;
    case 2:
        if (!r.AltMode) {
            r.FunctionName = QStringLiteral("Freuqency");
            r.UnitAnnunciators |= bit(unitHz);
            applyRange(RangeTable::Ranged::Frequency);
        } else {
            r.FunctionName = QStringLiteral("RPM");
            r.Annunciators |= bit(annRPM);
            applyRange(RangeTable::Ranged::Rpm);
        }
        break;
    case 3:
        r.FunctionName = QStringLiteral("OHM");
        r.UnitAnnunciators |= bit(unitOhm);
        applyRange(RangeTable::Ranged::Ohm);
        break;
    case 4:
        r.FunctionName = QStringLiteral("Temperature");
        if (r.AltMode) {
            r.UnitText = QStringLiteral("C");
            r.Annunciators |= bit(annC);
        } else {
            r.UnitText = QStringLiteral("F");
            r.Annunciators |= bit(annF);
        }
        r.Multiplier = 1;
        r.Divisor = 1;
        break;
    case 5:
        r.FunctionName = QStringLiteral("Continuity");
        r.Annunciators |= bit(annCONTIMUNITY);
        r.UnitText = QStringLiteral("Ohm");
        r.Multiplier = 1;
        fixedDivisor(10);
        break;
    case 6:
        r.FunctionName = QStringLiteral("Capacitance");
        r.Annunciators |= bit(annFara);
        applyRange(RangeTable::Ranged::Capacitance);
        if (r.RangeCode < RangeTable::Ranges(RangeTable::Ranged::Capacitance).size())
            r.Annunciators |= capacitanceBit(r.UnitText);
        break;
    case 9:
        r.FunctionName = QStringLiteral("Current");
        r.Annunciators |= bit(annmVA);
        r.UnitAnnunciators |= bit(unitCurrent);
        r.UnitText = QStringLiteral("mA");
        r.Multiplier = 1;
        if (r.RangeCode == 0)
            fixedDivisor(100);
        else if (r.RangeCode == 1)
            fixedDivisor(10);
        break;
    case 11:
        r.FunctionName = QStringLiteral("Voltage");
        r.Annunciators |= bit(annVoltage);
        applyRange(RangeTable::Ranged::Voltage);
        if (r.RangeCode == 0)
            r.Annunciators |= bit(annmVA);
        break;
    case 13:
        r.FunctionName = QStringLiteral("Current");
        r.Annunciators |= bit(annuVA);
        r.UnitAnnunciators |= bit(unitCurrent);
        r.UnitText = QStringLiteral("uA");
        r.Multiplier = 1;
        if (r.RangeCode == 0)
            fixedDivisor(10);
        break;
    case 15:
        r.FunctionName = QStringLiteral("Current");
        r.UnitAnnunciators |= bit(unitCurrent);
        r.UnitText = QStringLiteral("A");
        r.Multiplier = 1;
        fixedDivisor(100);
        break;
    default:
        // Codes the meter does not use: no unit, no decimal point.
        r.Divisor = 1;
        r.Multiplier = 1;
        break;
    }
}

void FrameDecoder::blankDigits() {
    DigitCodes& d = m_reading.Digits;
    if (m_reading.Overload) {
        d = {DigitBlank, 0, DigitL, DigitBlank};
        return;
    }
    // Leading positions that may turn blank; none for a divisor the meter never reports.
    const DivisorScale* scale = RangeTable::ForDivisor(m_reading.Divisor);
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
    r.Annunciators = 0;
    r.UnitAnnunciators = 0;

    // Status bits.
    const unsigned c7 = ch(7), c8 = ch(8), c9 = ch(9);
    r.Overload = c7 & 1;
    r.LowBattery = c7 & 2;
    r.Negative = c7 & 4;
    r.AltMode = c7 & 8;
    r.FrequencyMode = c8 & 1;
    r.MeterRecording = c8 & 2;
    r.PeakHold = c8 & 12;
    r.Auto = c9 & 2;
    r.AC = c9 & 4;
    r.DC = c9 & 8;

    // Digits; a character that is no decimal digit stops the conversion, and it and the
    // digits after it keep their previous codes.
    for (int k = 0; k < 4; ++k) {
        const unsigned c = ch(2 + k);
        if (c < '0' || c > '9')
            break;
        r.Digits[k] = std::uint8_t(c - '0');
    }

    // Codes.
    r.RangeCode = ch(1) & 0x0F;
    r.FunctionCode = ch(6) & 0x0F;

    // Count.
    r.Count = r.Digits[0] * 1000 + r.Digits[1] * 100 + r.Digits[2] * 10 + r.Digits[3];
    if (r.Negative)
        r.Count = -r.Count;

    // Mode key.
    r.ModeKey = unsigned(r.FrequencyMode) | unsigned(r.AltMode) << 1 | unsigned(r.AC) << 2 |
                unsigned(r.DC) << 3;

    // Peak hold bookkeeping.
    if (r.PeakHold) {
        m_stats.PeakActive = true;
    } else if (m_stats.PeakActive) {
        resetPeak();
        m_stats.PeakActive = false;
        update.peakEnded = true;
    }

    // Status annunciators.
    r.Annunciators |= bit(annRS232);
    if (r.Overload)
        r.Annunciators |= bit(annBarOL);
    if (r.LowBattery)
        r.Annunciators |= bit(annLBT);
    if (r.Negative && !r.PeakHold)
        r.Annunciators |= bit(annSIGN) | bit(annBarMinus);
    if (r.PeakHold)
        r.Annunciators |= bit(annPMAX);
    r.Annunciators |= r.Auto ? bit(annAUTO) : bit(annMANU);
    if (r.AC)
        r.Annunciators |= bit(annAC);
    if (r.DC)
        r.Annunciators |= bit(annDC);

    // Function, unit, divisor, multiplier.
    decodeFunction(meterModel);

    // Function change (a change of mode counts, except Celsius/Fahrenheit).
    if (r.FunctionCode != m_previous.PreviousFunctionCode ||
        (r.ModeKey != m_previous.PreviousModeKey && r.FunctionCode != 4)) {
        r.Multiplier = 1;
        m_previous.PreviousMultiplier = 1;
        update.functionChanged = true;
    }

    // Range change within the same function (or the very first frame).
    if ((r.FunctionCode == m_previous.PreviousFunctionCode &&
         r.RangeCode != m_previous.PreviousRangeCode) ||
        m_previous.PreviousFunctionCode == 99) {
        update.rangeChanged = true;
        update.previousMultiplier = m_previous.PreviousMultiplier;
        if (m_previous.PreviousMultiplier < r.Multiplier)
            m_previous.PreviousMultiplier = r.Multiplier;
    }

    // Scale change: the statistics start again.
    if (r.FunctionCode != m_previous.PreviousFunctionCode ||
        r.RangeCode != m_previous.PreviousRangeCode || r.AltMode != m_previous.PreviousAltMode) {
        resetStatistics();
        update.scaleChanged = true;
    }

    // Leading zeros become blank.
    blankDigits();

    // Statistics.
    const float count = float(r.Count);
    if (count > m_stats.MaxCount) {
        m_stats.MaxCount = count;
        update.maxMoved = true;
    }
    if (count > m_stats.PeakMaxCount && r.PeakHold) {
        m_stats.PeakNegative = r.Negative;
        m_stats.PeakDigits = r.Digits;
        m_stats.PeakValue = count / float(r.Divisor);
        m_stats.PeakMaxCount = count;
        update.peakMaxMoved = true;
    }
    if (count < m_stats.MinCount) {
        m_stats.MinCount = count;
        update.minMoved = true;
    }
    if (count < m_stats.PeakMinCount && r.PeakHold) {
        m_stats.PeakMinCount = count;
        update.peakMinMoved = true;
    }

    // In peak hold the display shows the held maximum.
    if (r.PeakHold) {
        r.Digits = m_stats.PeakDigits;
        if (m_stats.PeakNegative)
            r.Annunciators |= bit(annSIGN) | bit(annBarMinus);
    }

    // Remember this frame.
    m_previous.PreviousFunctionCode = r.FunctionCode;
    m_previous.PreviousRangeCode = r.RangeCode;
    m_previous.PreviousAltMode = r.AltMode;
    m_previous.PreviousModeKey = r.ModeKey;

    // Value and its text.
    r.Value = float(r.Count) / float(r.Divisor);
    if (r.Overload) {
        r.ValueText = r.Negative ? QStringLiteral("-OL") : QStringLiteral("OL");
    } else if (const int decimals = DecimalsFor(r.Divisor); decimals >= 0) {
        r.ValueText = FixedText(r.Value, decimals);
    }

    update.reading = r;
    update.stats = m_stats;
    return update;
}
