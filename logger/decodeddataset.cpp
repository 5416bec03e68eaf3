#include "decodeddataset.h"

#include "clock.h"
#include "loggertext.h"
#include "rangeunit.h"

#include <limits>

namespace {

constexpr int kOverload = 4000;

int decimalsFor(int divisor) {
    switch (divisor) {
    case 1:
        return 0;
    case 10:
        return 1;
    case 100:
        return 2;
    case 1000:
        return 3;
    default:
        return -1;
    }
}

} // namespace

DecodedDataSet DecodeDataSet(const LoggerImage& image, const DataSetInfo& info) {
    DecodedDataSet d;
    const int n = info.RecordCount;
    d.Rows.reserve(n);
    d.PlainValues.reserve(n);
    d.X.reserve(n);
    d.Y.reserve(n);
    d.Overload.reserve(n);

    const double step = info.IntervalSeconds / 86400.0;
    // A first record in a range the function does not have draws as if in the plain unit.
    int divisor = 1;
    int multiplier = 1;
    int baseMultiplier = 1;
    int baseDivisor = 1;
    QString baseUnit;
    bool inRange = false;
    QList<float> chart;
    chart.reserve(n);
    QDate textDate;
    QString dateText;

    for (int i = 0; i < n; ++i) {
        const qsizetype at = LoggerImage::HeaderSize + info.RecordOffset(i);
        const quint8 b0 = image.byte(at);
        const quint8 b1 = image.byte(at + 1);
        const bool negative = (b0 & 0x80) != 0;
        const int rangeCode = (b0 >> 4) & 0x07;
        const int magnitude = (b0 & 0x0F) * 256 + b1;

        const RangeUnit unit = UnitForRange(info.FunctionCode, rangeCode, info.AltMode());
        if (unit.Listed) {
            divisor = unit.Divisor;
            multiplier = unit.Multiplier;
        }
        if (i == 0) {
            baseMultiplier = multiplier;
            baseDivisor = divisor;
            baseUnit = unit.Unit;
        }
        if (multiplier > baseMultiplier) {
            const float scale = float(baseMultiplier) / float(multiplier);
            for (float& v : chart)
                v *= scale;
            baseMultiplier = multiplier;
            baseDivisor = divisor;
            baseUnit = unit.Unit;
        } else if (multiplier == baseMultiplier && divisor < baseDivisor) {
            baseDivisor = divisor;
        }

        const bool overload = magnitude >= kOverload;
        QString text;
        QString plain;
        const float value = float(negative ? -magnitude : magnitude) / float(divisor);
        if (overload) {
            text = negative ? QStringLiteral("-OL") : QStringLiteral("OL");
            plain = text;
        } else {
            inRange = true;
            const int decimals = decimalsFor(divisor);
            if (decimals >= 0) {
                text = LoggerText::Value(value, decimals);
                plain = QString::number(value == 0 ? 0.0 : double(value), 'f', decimals);
            }
        }
        chart.append(value * float(multiplier) / float(baseMultiplier));

        const double t = info.StartTime + i * step;
        QDate date;
        QTime time;
        DaysToDateAndTime(t, &date, &time);
        // Records of one day share the date's text.
        if (date != textDate) {
            textDate = date;
            dateText = LoggerText::Date(date);
        }
        d.Rows.append({QString::number(i + 1), dateText, LoggerText::Time(time), text, unit.Unit});
        d.PlainValues.append(plain);
        d.X.append(t);
        d.Overload.append(overload);
    }

    for (float v : chart)
        d.Y.append(double(v));
    d.BaseUnit = baseUnit;
    d.BaseDivisor = baseDivisor;
    switch (baseDivisor) {
    case 1:
        d.AxisLimit = 4000;
        break;
    case 10:
        d.AxisLimit = 400;
        break;
    case 100:
        d.AxisLimit = 40;
        break;
    case 1000:
        d.AxisLimit = 4;
        break;
    default:
        break;
    }

    if (inRange) {
        float max = -std::numeric_limits<float>::infinity();
        float min = std::numeric_limits<float>::infinity();
        for (int j = 0; j < n; ++j) {
            if (d.Overload[j])
                continue;
            if (chart[j] > max) {
                max = chart[j];
                d.MaxRow = j + 1;
            }
            if (chart[j] < min) {
                min = chart[j];
                d.MinRow = j + 1;
            }
        }
        const auto panel = [&d](int row) -> QString {
            const QStringList& r = d.Rows[row - 1];
            return r[2] + u'\t' + r[3] + r[4];
        };
        d.MaxText = panel(d.MaxRow);
        d.MinText = panel(d.MinRow);
    }
    return d;
}
