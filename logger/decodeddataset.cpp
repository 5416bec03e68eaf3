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

DecodedDataSet decodeDataSet(const LoggerImage& image, const DataSetInfo& info) {
    DecodedDataSet d;
    const int n = info.recordCount;
    d.rows.reserve(n);
    d.plainValues.reserve(n);
    d.x.reserve(n);
    d.y.reserve(n);
    d.overload.reserve(n);

    const double step = info.intervalSeconds / 86400.0;
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
        const qsizetype at = LoggerImage::HeaderSize + info.recordOffset(i);
        const quint8 b0 = image.byte(at);
        const quint8 b1 = image.byte(at + 1);
        const bool negative = (b0 & 0x80) != 0;
        const int rangeCode = (b0 >> 4) & 0x07;
        const int magnitude = (b0 & 0x0F) * 256 + b1;

        const RangeUnit unit = unitForRange(info.functionCode, rangeCode, info.altMode());
        if (unit.listed) {
            divisor = unit.divisor;
            multiplier = unit.multiplier;
        }
        if (i == 0) {
            baseMultiplier = multiplier;
            baseDivisor = divisor;
            baseUnit = unit.unit;
        }
        if (multiplier > baseMultiplier) {
            const float scale = float(baseMultiplier) / float(multiplier);
            for (float& v : chart)
                v *= scale;
            baseMultiplier = multiplier;
            baseDivisor = divisor;
            baseUnit = unit.unit;
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
                text = LoggerText::value(value, decimals);
                plain = QString::number(value == 0 ? 0.0 : double(value), 'f', decimals);
            }
        }
        chart.append(value * float(multiplier) / float(baseMultiplier));

        const double t = info.startTime + i * step;
        QDate date;
        QTime time;
        daysToDateAndTime(t, &date, &time);
        // Records of one day share the date's text.
        if (date != textDate) {
            textDate = date;
            dateText = LoggerText::date(date);
        }
        d.rows.append({QString::number(i + 1), dateText, LoggerText::time(time), text, unit.unit});
        d.plainValues.append(plain);
        d.x.append(t);
        d.overload.append(overload);
    }

    for (float v : chart)
        d.y.append(double(v));
    d.baseUnit = baseUnit;
    d.baseDivisor = baseDivisor;
    switch (baseDivisor) {
    case 1:
        d.axisLimit = 4000;
        break;
    case 10:
        d.axisLimit = 400;
        break;
    case 100:
        d.axisLimit = 40;
        break;
    case 1000:
        d.axisLimit = 4;
        break;
    default:
        break;
    }

    if (inRange) {
        float max = -std::numeric_limits<float>::infinity();
        float min = std::numeric_limits<float>::infinity();
        for (int j = 0; j < n; ++j) {
            if (d.overload[j])
                continue;
            if (chart[j] > max) {
                max = chart[j];
                d.maxRow = j + 1;
            }
            if (chart[j] < min) {
                min = chart[j];
                d.minRow = j + 1;
            }
        }
        const auto panel = [&d](int row) -> QString {
            const QStringList& r = d.rows[row - 1];
            return r[2] + u'\t' + r[3] + r[4];
        };
        d.maxText = panel(d.maxRow);
        d.minText = panel(d.minRow);
    }
    return d;
}
